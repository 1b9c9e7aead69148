// Non-finite results end the run: exit status 1, one message naming the step,
// the fields and the likely cause, nothing written for that step, and the
// files of the earlier steps left whole. On two processes as on one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/run_on_processes.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

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
      // No input makes a solve diverge at a later step on every machine alike:
      // the test puts a NaN into the potential of the last process at step 2.
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
