// Runs the real program on the small bundled case and checks what a user sees:
// the order of the console transcript, which files appear at which steps, and
// that the VTK files are well-formed with arrays of the right size.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <set>
#include <sstream>

#include "support/command_line.h"
#include "support/run_program.h"

namespace {

namespace fs = std::filesystem;

const std::string SCENE = std::string(PLASMABOX_SOURCE_DIR) + "/examples/small/scene.amf";

// A fresh working folder with the vti folder the output expects beside the CSV files.
fs::path freshDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("plasmabox_e2e_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir / "vti");
  return dir;
}

// The small case on an 8^3 mesh with loading and injection of both species.
CommandLine smallCase() {
  CommandLine cl(SCENE);
  cl.set(1, "8").set(2, "8").set(3, "8");
  cl.set(29, "2e9").set(30, "2e9");  // about 1300 macro-particles each
  cl.set(32, "3");
  cl.set(27, "200").set(51, "200");
  return cl;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Index of the first line at or after `from` that starts with prefix, or -1.
int findLine(const std::vector<std::string>& lines, const std::string& prefix, int from = 0) {
  for (int n = from; n < static_cast<int>(lines.size()); ++n)
    if (lines[static_cast<std::size_t>(n)].rfind(prefix, 0) == 0) return n;
  return -1;
}

std::set<int> stepsWritten(const fs::path& dir) {
  std::set<int> steps;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("output_O_", 0) == 0) steps.insert(std::stoi(name.substr(9)));
  }
  return steps;
}

TEST(EndToEnd, ConsoleTranscriptComesInTheRunOrder) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
  const fs::path dir = freshDir("transcript");
  const ProgramResult r = runProgram(PLASMABOX_BINARY, smallCase().args, dir.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> lines = linesOf(r.out);
  const char* order[] = {"Loading file: ",
                         "File loaded successfully: ",
                         "AMF file format validated",
                         "Object name: electrode1",
                         "All objects processed",
                         "Press the enter key once the confirmation is complete",
                         "amfread_voltage",
                         "Size of species: 2",
                         "50 ",  // electron loading line: mpw0, num_sim, num_real
                         "50 ",  // ion loading line
                         "potential solve",
                         "amfread_magvector",
                         "mv_part time: ",
                         "ts: 0\t O+:",
                         "mv_part time: ",
                         "ts: 1\t O+:",
                         "ts: 100\t O+:",
                         "Simulation took "};
  int at = 0;
  for (const char* prefix : order) {
    const int found = findLine(lines, prefix, at);
    ASSERT_GE(found, 0) << "missing, or out of order: " << prefix << "\n" << r.out;
    at = found + 1;
  }
  int steps = 0;
  for (const std::string& l : lines) steps += l.rfind("ts: ", 0) == 0;
  EXPECT_EQ(steps, 101);
  fs::remove_all(dir);
}

TEST(EndToEnd, OutputIsWrittenAtMultiplesOfTheInterval) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
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
    const fs::path dir = freshDir(std::string("interval") + c.interval);
    CommandLine cl(SCENE);
    cl.set(31, c.interval);
    const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.args, dir.string());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(stepsWritten(dir), c.steps) << c.interval;
    for (int s : c.steps) {
      char name[32];
      std::snprintf(name, sizeof name, "vti/%05d.vti", s);
      EXPECT_TRUE(fs::exists(dir / name)) << name;
      EXPECT_TRUE(fs::exists(dir / ("output_e_" + std::to_string(s) + ".csv")));
    }
    fs::remove_all(dir);
  }
}

TEST(EndToEnd, VtkFilesAreWellFormedWithOneValuePerNodeAndComponent) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
  const fs::path dir = freshDir("vtk");
  CommandLine cl = smallCase();
  cl.set(1, "9").set(2, "7").set(3, "6").set(31, "100").set(25, "run_");
  const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.args, dir.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "run_output_O_100.csv"));

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file((dir / "vti" / "00100.vti").c_str()));
  const pugi::xml_node image = doc.child("VTKFile").child("ImageData");
  EXPECT_STREQ(image.attribute("WholeExtent").value(), "0 8 0 6 0 5");
  std::vector<std::string> names;
  for (pugi::xml_node a = image.child("PointData").child("DataArray"); a;
       a = a.next_sibling("DataArray")) {
    names.push_back(a.attribute("Name").value());
    const int components = a.attribute("NumberOfComponents").as_int();
    std::istringstream values(a.text().get());
    int count = 0;
    for (double v; values >> v;) ++count;
    EXPECT_EQ(count, 9 * 7 * 6 * components) << names.back();
  }
  const std::vector<std::string> expected = {"object_id", "NodeVol", "phi",    "rho",          "j.O+",
                                             "j.e-",      "vel.O+",  "vel.e-", "ef",           "phi_m",
                                             "phi_m_theory", "B",    "H",      "M"};
  EXPECT_EQ(names, expected);
  fs::remove_all(dir);
}

TEST(EndToEnd, MissingVtiFolderIsCreatedAndAMissingSceneStillRuns) {
  const fs::path dir = fs::temp_directory_path() / "plasmabox_e2e_novti";
  fs::remove_all(dir);
  fs::create_directories(dir);
  CommandLine cl("no_such_file.amf");
  cl.set(31, "100");
  const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.args, dir.string());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Failed to load file: no_such_file.amf"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "vti" / "00000.vti"));
  EXPECT_TRUE(fs::exists(dir / "vti" / "00100.vti"));
  fs::remove_all(dir);
}

}  // namespace
