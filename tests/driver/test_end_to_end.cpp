// Runs the real program on the small bundled case and checks what a user sees:
// the console transcript order, which files appear at which steps, and VTK files
// that are well-formed with arrays of the right size.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "support/command_line.h"
#include "support/run_program.h"

namespace {

namespace fs = std::filesystem;

const std::string SCENE = std::string(PLASMABOX_SOURCE_DIR) + "/examples/small/scene.amf";

fs::path freshDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("plasmabox_e2e_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(EndToEnd, TranscriptOrderAndWellFormedVtk) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
  const fs::path dir = freshDir("transcript");
  fs::create_directories(dir / "vti");
  CommandLine cl(SCENE);  // 9 x 7 x 6 nodes, about 1300 macro-particles per species, both injected
  cl.set(1, "9").set(2, "7").set(3, "6").set(29, "2e9").set(30, "2e9").set(32, "3");
  cl.set(27, "200").set(51, "200").set(31, "100").set(25, "run_");
  const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.args, dir.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;

  std::istringstream in(r.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const char* order[] = {"Loading file: ", "File loaded successfully: ", "AMF file format validated",
                         "Object name: electrode1", "All objects processed",
                         "Press the enter key once the confirmation is complete", "amfread_voltage",
                         "Size of species: 2",
                         "50 ", "50 ",  // electron, then ion loading line: mpw0, num_sim, num_real
                         "potential solve", "amfread_magvector", "mv_part time: ", "ts: 0\t O+:", "mv_part time: ",
                         "ts: 1\t O+:", "ts: 100\t O+:", "Simulation took "};
  std::size_t at = 0;
  for (const char* prefix : order) {
    while (at < lines.size() && lines[at].rfind(prefix, 0) != 0) ++at;
    ASSERT_LT(at, lines.size()) << "missing, or out of order: " << prefix << "\n" << r.out;
    ++at;
  }
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("ts: ", 0) == 0; }),
            101);

  EXPECT_TRUE(fs::exists(dir / "run_output_O_100.csv"));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file((dir / "vti" / "00100.vti").c_str()));
  const pugi::xml_node image = doc.child("VTKFile").child("ImageData");
  EXPECT_STREQ(image.attribute("WholeExtent").value(), "0 8 0 6 0 5");
  std::vector<std::string> names;
  for (pugi::xml_node a = image.child("PointData").child("DataArray"); a; a = a.next_sibling("DataArray")) {
    names.push_back(a.attribute("Name").value());
    std::istringstream values(a.text().get());
    int count = 0;
    for (double v; values >> v;) ++count;
    EXPECT_EQ(count, 9 * 7 * 6 * a.attribute("NumberOfComponents").as_int()) << names.back();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"object_id", "NodeVol", "phi", "rho", "j.O+", "j.e-", "vel.O+",
                                             "vel.e-", "ef", "phi_m", "phi_m_theory", "B", "H", "M"}));
  fs::remove_all(dir);
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
