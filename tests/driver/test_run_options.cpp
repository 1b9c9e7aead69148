// Run options: parsing and its errors, the inputs file, and each option's
// effect on a small run of the real program.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/runOptions.h"
#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

std::string errorOf(RunSettings& s, const std::vector<std::string>& options) {
  try {
    applyRunOptions(s, options, 54);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(RunOptions, ValuesErrorsAndTheInputsFile) {
  for (const char* taken : {"dt=2.5e-12", "max_step=0", "macro_weight=12.5", "seed=4294967295", "threads=3",
                            "potential_method=3", "voltage.electrode1=-40", "voltage.grid 2=5", "boltzmann_kTe=2",
                            "boltzmann_phi0=-3", "boltzmann_ne0=1e15", "vtk_format=binary", "series=on",
                            "particles_every=0", "particles_sample=1"}) {
    RunSettings s;
    EXPECT_EQ(errorOf(s, {taken}), "") << taken;
  }
  const std::pair<const char*, const char*> refused[] = {
      {"dtt=1", "argument 54: unknown option \"dtt\""}, {"dt=abc", "option \"dt\": \"abc\" is not a number"},
      {"dt=1e-11s", "option \"dt\": \"1e-11s\" is not a number"}, {"dt=inf", "\"inf\" is not a finite number"},
      {"dt=0", "option \"dt\": must be greater than 0, got 0"},
      {"max_step=12abc", "option \"max_step\": \"12abc\" is not an integer"},
      {"max_step=-1", "option \"max_step\": must be at least 0, got -1"},
      {"macro_weight=0", "option \"macro_weight\": must be greater than 0"},
      {"threads=0", "option \"threads\": must be at least 1, got 0"},
      {"seed=-1", "option \"seed\": must be from 0 to 4294967295, got -1"},
      {"seed=4294967296", "must be from 0 to 4294967295"}, {"boltzmann_kTe=0", "must be greater than 0"},
      {"potential_method=4", "option \"potential_method\": must be from 0 to 3, got 4"},
      {"voltage.=3", "option \"voltage.\": needs an object name"},
      {"=5", "argument 54: \"=5\" is not an option"}, {"plain", "argument 54: \"plain\" is not an option"},
      {"inputs=/no/such/file", "option \"inputs\": cannot read the file \"/no/such/file\""},
      {"vtk_format=text", "option \"vtk_format\": must be ascii or binary, got \"text\""},
      {"vtk_compress=yes", "option \"vtk_compress\": must be off or on, got \"yes\""},
      {"particles_every=-1", "option \"particles_every\": must be at least 0, got -1"},
      {"particles_sample=0", "option \"particles_sample\": must be at least 1, got 0"},
      {"vtk_compress=on", "options \"vtk_compress=on\" and \"vtk_format=ascii\""},
      {"vtk_parallel=on", "options \"vtk_parallel=on\" and \"vtk_format=ascii\""},
      {"vtk_parallel=1", "option \"vtk_parallel\": must be off or on, got \"1\""},
  };
  for (const auto& [option, error] : refused) {
    RunSettings s;
    const std::string e = errorOf(s, {option});
    EXPECT_NE(e.find(error), std::string::npos) << option << ": " << e;
  }
  RunSettings s;
  EXPECT_EQ(errorOf(s, {"vtk_compress=on", "vtk_format=binary"}), "");  // in any order
  EXPECT_TRUE(s.output.vtk_compress && s.output.vtk_format == VtkFormat::BINARY);
  EXPECT_EQ(errorOf(s, {"vtk_parallel=on"}), "");
  EXPECT_TRUE(s.output.vtk_parallel);
  applyRunOptions(s, {"dt=2.5e-12", "voltage.electrode1=-40", "voltage.grid=5", "threads=3", "dt=3e-12"}, 54);
  EXPECT_EQ(s.dt, 3e-12);  // a later option wins
  EXPECT_EQ(s.requested_threads, 3);
  EXPECT_EQ(s.voltages, (std::map<std::string, double>{{"Body", 0}, {"electrode1", -40}, {"electrode2", 0}, {"grid", 5}}));

  // The command line overrides the inputs file.
  const TempFolder folder("inputs_deck");
  const std::string deck = "inputs=" + folder.write("deck.txt", "# a run deck\n\n  dt = 2e-12   # seconds\nmax_step=7\n"
                                                                "voltage.electrode1 = 100\n");
  s = RunSettings();
  applyRunOptions(s, {"max_step=9", deck}, 54);
  EXPECT_TRUE(s.dt == 2e-12 && s.max_step == 9 && s.voltages.at("electrode1") == 100.0);
  const std::pair<std::string, const char*> bad_decks[] = {
      {"dt = 2e-12\nmax_step 7\n", "line 2: \"max_step 7\" is not of the form name = value"},
      {"inputs = other.txt\n", "an inputs file cannot name another one"},
      {"seed = x1\n", ", line 1: option \"seed\": \"x1\" is not an integer"},
      {"seed = 1\n" + std::string("\0\x01x\n", 4), "line 2: control character 0x00 at column 1"},  // a binary file
  };
  for (const auto& [text, error] : bad_decks) {
    folder.write("deck.txt", text);
    EXPECT_NE(errorOf(s, {deck}).find(error), std::string::npos) << error;
  }
}

// A capacitor: electrode1 over i = 0, 1 and electrode2 over i = 9, 10 of 11 x 5 x 5
// nodes 4 mm apart; ions loaded at rest between the plates.
struct Capacitor {
  TempFolder folder;
  explicit Capacitor(const std::string& name) : folder("options_" + name) {
    folder.write("plates.amf", boxesAmf({{"electrode1", {-0.001, -0.001, -0.001}, {0.0045, 0.017, 0.017}},
                                         {"electrode2", {0.0355, -0.001, -0.001}, {0.041, 0.017, 0.017}}}));
  }

  ProgramResult run(const std::vector<std::string>& options) const {
    CommandLine cl("plates.amf");
    cl.set(1, "11").set(5, "0.04").set(7, "0.016").set(9, "0.016");
    cl.set(17, "0.01").set(18, "0.002").set(19, "0.002").set(20, "0.026").set(21, "0.014").set(22, "0.014");
    cl.set(30, "8e10").set(27, "5000").set(28, "1e-3").set(31, "1");  // 0.016 * 1.44e-4 m^3 * 8e10 / 50 = 3686.4
    return runProgram(PLASMABOX_BINARY, cl.with(options), folder.path.string());
  }

  // Values of a VTK array at node (i, j, k) of the 11 x 5 x 5 mesh at step ts.
  Vec3 node(const std::string& array, int ts, int i, int j, int k, int components) const {
    const std::string text = readWholeFile(folder.file(vtiName(ts)));
    std::istringstream values(text.substr(text.find('>', text.find("Name=\"" + array + "\"")) + 1));
    Vec3 v;
    for (int n = 0; n <= i + 11 * (j + 5 * k); ++n)
      for (int c = 0; c < components; ++c) values >> v[c];
    return v;
  }
};

TEST(RunOptions, EachOptionActsOnARun) {
  const Capacitor c("effects");
  const ProgramResult base = c.run({"seed=11", "max_step=1"});
  ASSERT_EQ(base.exit_code, 0) << base.err;
  EXPECT_EQ(base.out.rfind("Run options: max_step=1 dt=1e-11 macro_weight=50 voltage.Body=0 voltage.electrode1=270 "
                           "voltage.electrode2=0 seed=11 threads=", 0), 0u) << base.out;
  EXPECT_NE(base.out.find("\n50 3686.4 184320\n"), std::string::npos);
  EXPECT_NE(base.out.find("ts: 0\t O+:3687\t e-:0\n"), std::string::npos);
  EXPECT_TRUE(base.out.find("ts: 1\t") != std::string::npos && base.out.find("ts: 2\t") == std::string::npos);
  const double vx = c.node("vel.O+", 0, 5, 2, 2, 3).x, phi = c.node("phi", 0, 5, 2, 2, 1).x;
  EXPECT_GT(vx, 0.0);
  EXPECT_NEAR(phi, 270.0 * 4 / 8, 1e-3);  // linear between the plates, node 5 of 1..9

  const ProgramResult doubled = c.run({"seed=11", "max_step=1", "dt=2e-11", "macro_weight=100", "voltage.electrode1=540"});
  ASSERT_EQ(doubled.exit_code, 0) << doubled.err;
  EXPECT_NE(doubled.out.find("\n100 1843.2 184320\n"), std::string::npos);  // half the macro-particles
  EXPECT_NE(doubled.out.find("ts: 0\t O+:1844\t e-:0"), std::string::npos);
  EXPECT_NEAR(c.node("phi", 0, 5, 2, 2, 1).x, 2 * phi, 2e-3);
  // Twice the field and twice the step: four times the velocity gained in the first step.
  EXPECT_NEAR(c.node("vel.O+", 0, 5, 2, 2, 3).x, 4 * vx, 1e-4 * vx);
}

// The electrostatic model solves with each step's charge (every solve_every
// steps), and the history file records one row per step.
TEST(RunOptions, ElectrostaticModelAndHistoryFile) {
  const Capacitor c("electrostatic");
  const ProgramResult r = c.run({"seed=3", "max_step=4", "field_model=electrostatic", "solve_every=2",
                                 "walls=grounded", "history=history.csv"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::vector<std::string>> rows = readCsv(c.folder.file("history.csv"));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"step", "time_s", "O+_count", "O+_kinetic_J", "e-_count", "e-_kinetic_J",
                                               "field_energy_J", "phi_min_V", "phi_max_V", "solve_iterations",
                                               "solve_residual", "current_electrode1_A", "current_electrode2_A",
                                               "O+_injected", "O+_lost", "e-_injected", "e-_lost"}));
  for (int step = 0; step <= 4; ++step) {
    const std::vector<std::string>& cells = rows[step + 1];
    ASSERT_GE(cells.size(), 11u) << step;
    EXPECT_EQ(cells[0], std::to_string(step));
    EXPECT_EQ(cells[9].empty(), step % 2 != 0) << step;  // solves at steps 0, 2, 4
    EXPECT_EQ(std::stoi(cells[2]), 3687) << step;         // O+ macro-particles
    EXPECT_GT(std::stod(cells[3]), 0.0) << step;          // they gain energy in the field
  }
  EXPECT_EQ(c.node("phi", 4, 0, 2, 2, 1).x, 270.0);       // electrode1 reaches the wall: the object holds it
  EXPECT_EQ(c.node("phi", 4, 5, 0, 2, 1).x, 0.0);

  const ProgramResult boltzmann = c.run({"field_model=electrostatic", "potential_method=1", "max_step=0"});
  EXPECT_EQ(boltzmann.exit_code, 0) << boltzmann.err;  // no electron particles: Boltzmann electrons are fine
}

TEST(RunOptions, HelpVersionAndTheCoarseInjectionWarning) {
  const ProgramResult help = runProgram(PLASMABOX_BINARY, {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  // The list is made from the table of options: a unit, a name pattern, the inputs file.
  for (const char* name : {"dt=[s]", "voltage.NAME=[V]", "particles_sample=VALUE", "inputs=FILE"})
    EXPECT_NE(help.out.find(name), std::string::npos) << name;
  const ProgramResult version = runProgram(PLASMABOX_BINARY, {"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("plasmabox ", 0), 0u);

  // Electrons injected along z at 2.5e7 m/s cross 2.5 cells of 1 cm per step of 1e-9 s.
  const TempFolder dir("options_warning");
  for (const char* drift : {"2.5e7", "5e6"}) {
    const ProgramResult w = runProgram(
        PLASMABOX_BINARY, CommandLine().set(32, "2").set(34, "1").set(36, drift).with({"dt=1e-9", "max_step=0"}),
        dir.path.string());
    EXPECT_EQ(w.exit_code, 0);
    const bool warned = w.err.find("warning: injected e- cross 2.5 cells per step along z") != std::string::npos;
    EXPECT_EQ(warned, std::string(drift) == "2.5e7") << w.err;
  }
}

}  // namespace
