// The real executable: which steps write files, and inputs that stop it with status 1 and no file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/run_on_processes.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

struct BadCommandLine {
  const char* what;
  std::vector<std::string> args;
  const char* message;    // expected on standard error; nullptr for silence
  std::string geometry = "";  // written to `file` when not empty (the reader then prints its progress)
  const char* file = "scene.amf";
};

std::vector<std::string> withArgument(int position, const std::string& text) { return CommandLine().set(position, text).args; }

std::vector<std::string> truncated(std::size_t count) {
  std::vector<std::string> a = CommandLine().args;
  return a.resize(count), a;
}

TEST(EntryPoint, BadInputsExitWithStatusOneAndAMessage) {
  std::string nan_vertex = boxesAmf({{"electrode1", {0, 0, 0}, {0.01, 0.01, 0.01}}});
  nan_vertex.replace(nan_vertex.find("<z>0.010000</z>"), 15, "<z>nan</z>");
  const BadCommandLine cases[] = {
      {"no arguments", {}, nullptr},
      {"35 arguments", truncated(35), "expected 53 arguments"},
      {"last tuple incomplete", truncated(62), "expected 63 arguments"},
      {"negative object count", withArgument(53, "-1"), "must not be negative"},
      {"letters as node count", withArgument(1, "abc"), "invalid stoi argument (argument 1: \"abc\")"},
      {"int out of range", withArgument(27, "3000000000"), "stoi argument out of range (argument 27"},
      {"real out of range", withArgument(5, "1e999"), "stod argument out of range (argument 5"},
      {"unused real must be a number", withArgument(23, "dt"), "invalid stod argument (argument 23"},
      {"bad remanence", withArgument(54, "strong"), "invalid stod argument (argument 54"},
      {"two nodes", withArgument(2, "2"), "node count along y (argument 2) must be at least 3"},
      {"inverted extent", withArgument(4, "1"), "mesh extent along x"},
      {"NaN extent", withArgument(6, "nan"), "mesh extent along y"},
      {"spacing whose square overflows", withArgument(7, "1e-300"), "mesh spacing along y (arguments 6 and 7) is too small"},
      {"output interval 0", withArgument(31, "0"), "output interval (argument 31) must not be 0"},
      // 4194304^3 nodes wrap a 64-bit size to 0: must fail before any allocation.
      {"2^22 nodes per axis", CommandLine().set(1, "4194304").set(2, "4194304").set(3, "4194304").args,
       "the mesh of 4194304 x 4194304 x 4194304 nodes (arguments 1 to 3) needs more memory than there is"},
      {"Boltzmann and particle electrons",
       CommandLine().set(29, "1e11").with({"field_model=electrostatic", "potential_method=3"}),
       "potential_method=3 treats the electrons as a Boltzmann fluid"},
      // A run never writes over its own inputs or outputs, at any of its steps.
      {"history is the geometry", CommandLine("scene.amf").with({"history=./scene.amf"}),
       "\"./scene.amf\" is both the history file (option history) and the AMF geometry file (argument 10)",
       boxesAmf({{"electrode1", {0, 0, 0}, {0.01, 0.01, 0.01}}})},
      {"history is a later image", CommandLine().with({"history=vti/00050.vti"}),
       "\"vti/00050.vti\" is both the history file (option history) and the VTK image of step 50 (vti/00050.vti), "
       "which the run writes"},
      {"history is a density file", CommandLine().set(25, "run_").with({"history=run_output_e_100.csv"}),
       "and the electron density CSV file of step 100 (run_output_e_100.csv)"},
      {"history is the series file", CommandLine().with({"series=on", "history=series.pvd"}), "and the series file"},
      {"an inputs file among the outputs", CommandLine().with({"inputs=output_O_0.csv"}),
       "\"output_O_0.csv\" is both an inputs file (option inputs) and the ion density CSV file of step 0",
       "dt = 1e-11\n", "output_O_0.csv"},
      {"geometry among the outputs", withArgument(10, "vti/00000.vti"),
       "\"vti/00000.vti\" is both the AMF geometry file (argument 10) and the VTK image of step 0"},
      // Options that cannot take effect.
      {"a voltage for no object of the file", CommandLine("scene.amf").with({"voltage.Electrode1=5"}),
       "option \"voltage.Electrode1\": no object of the AMF file \"scene.amf\" is named \"Electrode1\" (names are "
       "compared exactly); its objects: \"electrode1\", \"Body\"",
       boxesAmf({{"electrode1", {0, 0, 0}, {0.01, 0.01, 0.01}}, {"Body", {0.02, 0.02, 0.02}, {0.03, 0.03, 0.03}}})},
      {"a Boltzmann start that overflows", CommandLine().with({"boltzmann_kTe=1e308"}),
       "options boltzmann_phi0=0, boltzmann_kTe=1e+308, boltzmann_ne0=1e+12: every potential solve starts from the "
       "Boltzmann inversion"},
      {"a Boltzmann density whose charge underflows", CommandLine().with({"boltzmann_ne0=1e-310"}),
       "boltzmann_ne0=1e-310: every potential solve starts"},
      {"photo options without sunlight", CommandLine().with({"photo_current.Body=1e-4"}),
       "options photo_current / photo_current.NAME / photo_temperature need sun=DX,DY,DZ"},
      {"a photo current for no object of the file",
       CommandLine("scene.amf").with({"field_model=electrostatic", "sun=1,0,0", "photo_current.Bdy=1e-4"}),
       "option photo_current.Bdy: no object of the AMF file is named \"Bdy\" (its objects: \"Body\")",
       boxesAmf({{"Body", {0.02, 0.02, 0.02}, {0.03, 0.03, 0.03}}})},
      {"emission with every electron a fluid",
       CommandLine().with({"field_model=electrostatic", "potential_method=2", "sun=1,0,0"}),
       "option sun with potential_method=2"},
      {"NaN in the geometry file", withArgument(10, "scene.amf"),
       "\"nan\" is not a finite number in <z> of vertex 7 of object \"electrode1\" in scene.amf", nan_vertex},
  };
  for (const BadCommandLine& c : cases) {
    SCOPED_TRACE(c.what);
    const TempFolder dir("entry_point");
    if (!c.geometry.empty()) dir.write(c.file, c.geometry);
    const ProgramResult r = runProgram(PLASMABOX_BINARY, c.args, dir.path.string(), "/dev/null", 30);
    // A killed or timed-out run has no exit status: -1.
    EXPECT_EQ(r.exit_code, 1) << "signal " << r.signal << (r.timed_out ? ", timed out" : "");
    EXPECT_TRUE(!c.geometry.empty() || r.out.empty()) << r.out;
    EXPECT_TRUE(c.message ? r.err.find(c.message) != std::string::npos : r.err.empty()) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), c.geometry.empty() ? 0 : 1)
        << "a failing run wrote files";
  }
}

// A folder as standard input, or descriptor 0 closed, must not stop the prompt or the run.
TEST(EndToEnd, OutputIsWrittenAtMultiplesOfTheIntervalWhateverTheStandardInput) {
  const struct {
    const char* interval;
    std::set<int> steps;
    const char* input;  // standard input: a file, a folder, or nullptr for closed
    bool scene;         // false: a missing scene, which still runs
  } cases[] = {
      {"7", {0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77, 84, 91, 98}, "/dev/null", false},
      {"-50", {0, 50, 100}, "/", true},
      {"250", {0}, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.interval);
    const TempFolder dir(std::string("e2e_interval") + c.interval);  // no vti folder: the run creates it
    if (c.scene) dir.write("scene.amf", boxesAmf({{"electrode1", {0, 0, 0}, {0.01, 0.01, 0.01}}}));
    const std::vector<std::string> args = CommandLine(c.scene ? "scene.amf" : "no_such_file.amf").set(31, c.interval).args;
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" <&-", PLASMABOX_BINARY};
    shell.insert(shell.end(), args.begin(), args.end());
    const ProgramResult r = c.input ? runProgram(PLASMABOX_BINARY, args, dir.path.string(), c.input, 60)
                                    : runProgram("/bin/sh", shell, dir.path.string(), "/dev/null", 60);
    ASSERT_TRUE(r.exit_code == 0 && r.signal == 0 && !r.timed_out) << r.err;
    EXPECT_NE(r.out.find(c.scene ? "Press the enter key once the confirmation is complete"
                                 : "Failed to load file: no_such_file.amf"), std::string::npos) << r.out;
    std::set<int> written;
    for (const auto& e : fs::directory_iterator(dir.path)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("output_O_", 0) == 0) written.insert(std::stoi(name.substr(9)));
    }
    EXPECT_EQ(written, c.steps);
    for (int s : c.steps)
      EXPECT_TRUE(fs::exists(dir.file(vtiName(s))) && fs::exists(dir.file("output_e_" + std::to_string(s) + ".csv"))) << s;
  }
}

// Non-finite results end the run with status 1 and one message; the earlier
// steps' files stay whole. On two processes as on one.
std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(NonFiniteResults, EndTheRunAtTheStepTheyAppear) {
  const struct {
    const char* what;
    CommandLine command;
    std::vector<std::string> options;
    std::vector<const char*> message;  // parts of the one message on standard error
    int steps_written;                 // output steps before the failure
    int processes = 2;                 // run on 1 and on this many
    bool poisoned = false;             // the test puts the NaN in
    bool plate = false;                // plate.amf holds electrode1
  } cases[] = {
      {"a time step that overflows the induction update", CommandLine(), {"dt=1e150"},
       {"the set-up: NaN or infinite values in the electric field ef at ",
        "likely cause: the induction step with dt=1e+150 s overflows", ". The run stops before its first step"},
       0},
      {"a relaxation started from an absurd Boltzmann reference", CommandLine(), {"boltzmann_phi0=1e308"},
       {"the set-up: NaN or infinite values in the potential phi at ",
        "likely cause: the potential solve diverged (potential_method=0, potential_solver=sor, last residual ",
        "it started from the Boltzmann inversion, boltzmann_phi0 + boltzmann_kTe ln(1e-6) = 1e+308 V"},
       0},
      {"Boltzmann electrons at an electrode 2 kV above them", CommandLine("plate.amf"),
       {"field_model=electrostatic", "potential_method=2", "voltage.electrode1=2000"},
       {"the set-up: NaN or infinite values in the Boltzmann electrons' density at ",
        "likely cause: boltzmann_ne0 exp((phi - boltzmann_phi0) / boltzmann_kTe) overflows where the potential "
        "exceeds 1023.2"},
       0, 2, false, true},
      // The test itself puts a NaN into the last process's potential at step 2.
      {"a NaN in one process's potential at step 2", CommandLine().set(31, "1"), {},
       {"step 2: NaN or infinite values in the potential phi at 1 of 125 nodes, the electric field ef at ",
        "likely cause: the last potential solve diverged. The run stops; the files of the steps before are complete"},
       2, 2, true},
      // One ion whose weight no node volume holds, in the first process's slab only.
      {"a deposition that overflows", CommandLine().set(30, "1e9").set(20, "0.01").set(31, "1"), {"macro_weight=1e307"},
       {"step 0: NaN or infinite values in the O+ density at 8 of 125 nodes",
        "likely cause: the deposition overflows: macro_weight=1e+307 real particles per macro-particle"},
       0},
  };
  for (const auto& c : cases) {
    for (int processes = 1; processes <= c.processes; ++processes) {
      SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(processes) + " processes");
      const TempFolder dir("non_finite");
      if (c.plate) dir.write("plate.amf", boxesAmf({{"electrode1", {0.015, 0.015, 0.015}, {0.025, 0.025, 0.025}}}));
      std::vector<std::string> options = c.options;
      for (const char* o : {"max_step=3", "series=on", "history=history.csv", "threads=1"}) options.push_back(o);
      const std::string failure = std::to_string(processes - 1) + ":2:nan";
      if (c.poisoned) setenv("PLASMABOX_TEST_FAILURE", failure.c_str(), 1);
      const ProgramResult r = runOnProcesses(processes, c.command.with(options), dir.path.string());
      unsetenv("PLASMABOX_TEST_FAILURE");
      EXPECT_EQ(r.exit_code, 1) << r.err;
      EXPECT_EQ(occurrences(r.err, "NaN or infinite values"), 1u) << r.err;  // said once, by the first process
      for (const char* part : c.message) EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
      // The steps before are whole and listed; nothing of the failing step or after.
      for (int step = 0; step <= 3; ++step) {
        const bool written = step < c.steps_written;
        EXPECT_EQ(fs::exists(dir.file(vtiName(step))), written) << step;
        EXPECT_EQ(fs::exists(dir.file("output_O_" + std::to_string(step) + ".csv")), written) << step;
        const std::string image = readWholeFile(dir.file(vtiName(step)));
        EXPECT_TRUE(!written || image.ends_with("</VTKFile>\n")) << step;
      }
      EXPECT_EQ(readCsv(dir.file("history.csv")).size(), 1u + c.steps_written);
      EXPECT_EQ(occurrences(readWholeFile(dir.file("series.pvd")), "<DataSet "),
                static_cast<std::size_t>(c.steps_written));
    }
  }
}

}  // namespace
