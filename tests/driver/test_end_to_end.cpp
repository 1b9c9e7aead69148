// Runs the real program and checks which files appear at which steps (the
// content of the files and the console are compared in test_reference_run.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

fs::path freshDir(const std::string& name) {
  const fs::path dir = testFolder("e2e_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(EndToEnd, OutputIsWrittenAtMultiplesOfTheInterval) {
  const struct {
    const char* interval;
    std::set<int> steps;
  } cases[] = {
      {"100", {0, 100}},
      {"7", {0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77, 84, 91, 98}},
      {"-50", {0, 50, 100}},
      {"250", {0}},
  };
  for (const auto& c : cases) {
    const fs::path dir = freshDir(std::string("interval") + c.interval);  // no vti folder: the run creates it
    CommandLine cl("no_such_file.amf");  // a missing scene still runs
    cl.set(31, c.interval);
    const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.args, dir.string());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Failed to load file: no_such_file.amf"), std::string::npos);
    std::set<int> written;
    for (const auto& e : fs::directory_iterator(dir)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("output_O_", 0) == 0) written.insert(std::stoi(name.substr(9)));
    }
    EXPECT_EQ(written, c.steps) << c.interval;
    for (int s : c.steps) {
      char vti[32];
      std::snprintf(vti, sizeof vti, "vti/%05d.vti", s);
      EXPECT_TRUE(fs::exists(dir / vti) && fs::exists(dir / ("output_e_" + std::to_string(s) + ".csv"))) << s;
    }
    fs::remove_all(dir);
  }
}

}  // namespace
