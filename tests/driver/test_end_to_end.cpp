// Runs the real program and checks which files appear at which steps, and that
// no standard input stops a run (the content of the files and the console are
// compared in test_reference_run.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

TEST(EndToEnd, OutputIsWrittenAtMultiplesOfTheInterval) {
  const struct {
    const char* interval;
    std::set<int> steps;
  } cases[] = {
      {"7", {0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77, 84, 91, 98}},
      {"-50", {0, 50, 100}},
      {"250", {0}},
  };
  for (const auto& c : cases) {
    const TempFolder dir(std::string("e2e_interval") + c.interval);  // no vti folder: the run creates it
    CommandLine cl("no_such_file.amf");  // a missing scene still runs
    cl.set(31, c.interval);
    const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.args, dir.path.string());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Failed to load file: no_such_file.amf"), std::string::npos);
    std::set<int> written;
    for (const auto& e : fs::directory_iterator(dir.path)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("output_O_", 0) == 0) written.insert(std::stoi(name.substr(9)));
    }
    EXPECT_EQ(written, c.steps) << c.interval;
    for (int s : c.steps) {
      char vti[32];
      std::snprintf(vti, sizeof vti, "vti/%05d.vti", s);
      EXPECT_TRUE(fs::exists(dir.path / vti) && fs::exists(dir.path / ("output_e_" + std::to_string(s) + ".csv"))) << s;
    }
  }
}

// The reader's prompt waits for Enter; a folder as standard input, or
// descriptor 0 closed altogether (by the shell before exec), must not stop the run.
TEST(EndToEnd, StandardInputThatIsAFolderOrClosedDoesNotStopTheRun) {
  for (const bool closed : {false, true}) {
    const TempFolder dir("e2e_stdin");
    dir.write("scene.amf", boxesAmf({{"electrode1", {0, 0, 0}, {0.01, 0.01, 0.01}}}));
    const std::vector<std::string> args = CommandLine("scene.amf").args;
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" <&-", PLASMABOX_BINARY};
    shell.insert(shell.end(), args.begin(), args.end());
    const ProgramResult r = closed ? runProgram("/bin/sh", shell, dir.path.string(), "/dev/null", 60)
                                   : runProgram(PLASMABOX_BINARY, args, dir.path.string(), "/", 60);
    EXPECT_TRUE(r.exit_code == 0 && r.signal == 0 && !r.timed_out) << closed << r.err;
    EXPECT_NE(r.out.find("Press the enter key once the confirmation is complete"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir.path / "output_O_100.csv")) << closed;
  }
}

}  // namespace
