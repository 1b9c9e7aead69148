// Run options and positional parameters: parsing, errors, the inputs file,
// each option's effect on a run, and the warnings for too fast particles.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "driver/RunParameters.h"
#include "driver/runOptions.h"
#include "driver/runWarnings.h"
#include "mesh/Grid.h"
#include "mesh/constants.h"
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
  for (const char* taken : {"max_step=0", "seed=4294967295", "voltage.grid 2=5", "particles_every=0"}) {
    RunSettings s;
    EXPECT_EQ(errorOf(s, {taken}), "") << taken;
  }
  const std::pair<const char*, const char*> refused[] = {
      {"dtt=1", "argument 54: unknown option \"dtt\""}, {"dt=1e-11s", "option \"dt\": \"1e-11s\" is not a number"},
      {"dt=inf", "\"inf\" is not a finite number"}, {"dt=0", "option \"dt\": must be greater than 0, got 0"},
      {"max_step=12abc", "option \"max_step\": \"12abc\" is not an integer"},
      {"max_step=-1", "option \"max_step\": must be at least 0, got -1"},
      {"seed=4294967296", "option \"seed\": must be from 0 to 4294967295"},
      {"voltage.=3", "option \"voltage.\": needs an object name"}, {"plain", "argument 54: \"plain\" is not an option"},
      {"inputs=/no/such/file", "option \"inputs\": cannot read the file \"/no/such/file\""},
      {"vtk_format=text", "option \"vtk_format\": must be ascii or binary, got \"text\""},
      {"vtk_compress=on", "options \"vtk_compress=on\" and \"vtk_format=ascii\""},
      {"vtk_parallel=on", "options \"vtk_parallel=on\" and \"vtk_format=ascii\""},
      // Too large names the end that is passed, beyond 64 bits too.
      {"solve_every=2147483648", "option \"solve_every\": must be at most 2147483647, got 2147483648"},
      {"max_step=99999999999999999999", "option \"max_step\": must be at most 2147483646, got 9999"},
      {"threads=-99999999999999999999", "option \"threads\": must be at least 1, got -9999"},
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
  folder.write("deck.txt", "\xEF\xBB\xBF" "dt = 4e-12\n");  // a byte-order mark before the first name
  EXPECT_EQ(errorOf(s, {deck}), "");
  EXPECT_EQ(s.dt, 4e-12);
  for (const auto& [text, error] : bad_decks) {
    folder.write("deck.txt", text);
    EXPECT_NE(errorOf(s, {deck}).find(error), std::string::npos) << error;
  }
}

// The line that records the run quotes the values a shell would split or expand.
TEST(RunOptions, TheOptionsLineQuotesValuesWithBlanks) {
  RunSettings s;
  applyRunOptions(s, {"history=runs/h.csv", "voltage.grid 2=5"}, 54);
  std::string line = effectiveOptionsLine(s, 1);
  EXPECT_NE(line.find(" history=runs/h.csv "), std::string::npos) << line;
  EXPECT_NE(line.find(" voltage.\"grid 2\"=5 "), std::string::npos) << line;
  applyRunOptions(s, {"history=my run/h $1.csv"}, 54);
  line = effectiveOptionsLine(s, 1);
  EXPECT_NE(line.find(" history=\"my run/h \\$1.csv\" "), std::string::npos) << line;
}

// Electrodes over i = 0, 1 and i = 9, 10 of 11 x 5 x 5 nodes; ions at rest between them.
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

// The electrostatic model solves every solve_every steps; the history has a row per step.
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

// The remanence override sets the first two entries; a later tuple of a name wins.
TEST(RunParameters, RemanenceOverrideAndMagnetisationTableWhereTheLastTupleWins) {
  CommandLine cl;  // N = 3: remanence, then three tuples
  cl.args.resize(52);
  for (const char* a : {"3", "0.5", "0.7", "0.5", "m0", "0", "0", "1", "m1", "1", "0", "0", "m2", "1", "0", "0"})
    cl.args.push_back(a);
  RunParameters p = *parseRunParameters(cl.args);
  overrideRemanence(p.remanence, 1.2);
  auto table = buildMagnetisationTable(cl.args, p.remanence);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table["m0"], (Vec3{0, 0, 1.2 * 1.0 / MU_0}));
  EXPECT_NEAR(table["m2"].x, 397887.36, 0.01);
  cl.args[64] = "m0";  // third tuple now names m0 again
  table = buildMagnetisationTable(cl.args, p.remanence);
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table["m0"], (Vec3{0.5 / MU_0, 0, 0}));
}

constexpr double ELECTRON = 9.10938215e-31;  // kg
constexpr double OXYGEN = 16 * 1.660538921e-27;  // kg

// The warnings for particles too fast for the push; the lines that contain part.
std::size_t linesWith(const std::vector<std::string>& lines, const std::string& part) {
  std::size_t n = 0;
  for (const std::string& l : lines) n += l.find(part) != std::string::npos;
  return n;
}

TEST(FastParticleWarnings, ATenthOfTheSpeedOfLightAndOneCellPerStep) {
  Grid grid(5, 5, 5);
  grid.setExtents({0, 0, 0}, {0.04, 0.04, 0.04});  // cells of 1 cm
  // eV at which sqrt(T e / m) is c / 10 = 3e7 m/s, for an electron: 5116.9 eV.
  const double tenth_c = 9e14 * ELECTRON / 1.602176565e-19;
  const double thermal_1ev = std::sqrt(1.602176565e-19 / ELECTRON);  // m/s, 419,382
  const struct {
    const char* what;
    double mass, temperature;
    Vec3 drift;
    double dt;
    std::size_t relativistic, coarse;  // lines of each kind
    const char* line;                  // a line expected in full, or ""
  } cases[] = {
      {"just below c/10", ELECTRON, 0.99 * tenth_c, {}, 1e-15, 0, 0, ""},
      {"just above c/10", ELECTRON, 1.01 * tenth_c, {}, 1e-15, 1, 0, "have a thermal speed of"},
      {"a drift of 3.1e7 m/s", ELECTRON, 0, {0, -3.1e7, 0}, 1e-15, 1, 0, "drift at 3.1e+07 m/s, above a tenth"},
      {"2e7 m/s along two axes: 2.8e7 m/s", ELECTRON, 0, {2e7, 2e7, 0}, 1e-15, 0, 0, ""},
      {"thermal motion just under a cell", ELECTRON, 1.0, {}, 0.99 * 0.01 / thermal_1ev, 0, 0, ""},
      {"thermal motion just over a cell", ELECTRON, 1.0, {}, 1.01 * 0.01 / thermal_1ev, 0, 1,
       "at 1 eV cross 1.01 cells per step at their thermal speed"},
      {"a drift across 2.5 cells along z", OXYGEN, 0, {0, 1e3, -2.5e4}, 1e-6, 0, 1,
       "cross 2.5 cells per step along z (drift -25000 m/s, dt 1e-06 s, spacing 0.01 m)"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines =
        fastParticleWarnings("loaded e-", c.mass, c.temperature, c.drift, grid, c.dt);
    EXPECT_EQ(linesWith(lines, "the push is not relativistic"), c.relativistic) << c.what;
    EXPECT_EQ(linesWith(lines, "the push samples the field too coarsely"), c.coarse) << c.what;
    EXPECT_EQ(lines.size(), c.relativistic + c.coarse) << c.what;
    EXPECT_TRUE(!*c.line || linesWith(lines, c.line) == 1u) << c.what << ": " << (lines.empty() ? "" : lines[0]);
    for (const std::string& l : lines) EXPECT_EQ(l.rfind("warning: loaded e- ", 0), 0u) << l;
  }
}

// A run says it once per population, at set-up.
TEST(FastParticleWarnings, ARunSaysThemOnceOnStandardError) {
  const TempFolder dir("fast_warning");
  const ProgramResult r = runProgram(
      PLASMABOX_BINARY, CommandLine().set(29, "1e9").set(32, "2").with({"temperature_e=6000", "max_step=2"}),
      dir.path.string());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> hot_surroundings = {"ambient_density=1e6", "ambient_temperature_e=6000",
                                                     "ambient_temperature_i=0.1", "max_step=1"};
  const ProgramResult ambient = runProgram(PLASMABOX_BINARY, CommandLine().with(hot_surroundings), dir.path.string());
  EXPECT_EQ(ambient.exit_code, 0) << ambient.err;
  for (const auto& [population, err] :
       {std::pair{"loaded e-", &r.err}, {"injected e-", &r.err}, {"ambient e-", &ambient.err}}) {
    const std::string line = std::string("warning: ") + population + " at 6000 eV have a thermal speed of 3.2";
    const std::size_t at = err->find(line);
    EXPECT_NE(at, std::string::npos) << *err;
    EXPECT_EQ(err->find(line, at + 1), std::string::npos) << *err;
  }
  EXPECT_EQ(ambient.err.find("ambient O+"), std::string::npos) << ambient.err;  // 0.1 eV ions: nothing to say
}

}  // namespace
