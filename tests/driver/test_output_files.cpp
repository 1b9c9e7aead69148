// The output options on runs of the real program, read back by VTK's own
// readers (python3-vtk9) where available; a beam's current in the history file.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "output/particleSnapshot.h"
#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/python_vtk.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

const std::string READBACK = std::string(PLASMABOX_SOURCE_DIR) + "/tests/driver/vtk_readback.py";

// Ions over the 5^3 mesh; fields at steps 0, 2, 4, 6, particle files at 0, 3, 6.
ProgramResult run(const fs::path& dir, std::vector<std::string> options) {
  options.insert(options.begin(), {"seed=5", "threads=1", "max_step=6", "series=on", "particles_every=3", "particles_sample=500"});
  return runProgram(PLASMABOX_BINARY, CommandLine().set(30, "5e9").set(31, "2").with(options), dir.string());
}

using Listed = std::tuple<double, int, std::string>;  // time, part, file

std::vector<Listed> seriesOf(const fs::path& dir) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_file((dir / "series.pvd").c_str())) << dir;
  std::vector<Listed> listed;
  for (const pugi::xml_node d : doc.child("VTKFile").child("Collection").children("DataSet"))
    listed.push_back({d.attribute("timestep").as_double(), d.attribute("part").as_int(), d.attribute("file").value()});
  return listed;
}

// What series.pvd must list; step ts is at the time of ts + 1 additions of dt.
std::vector<Listed> expectedSeries(const std::vector<int>& field_steps, const std::vector<int>& particle_steps) {
  std::vector<Listed> listed;
  double time = 0;
  for (int ts = 0; ts <= 6; ++ts) {
    time += 1e-11;
    if (std::count(field_steps.begin(), field_steps.end(), ts)) listed.emplace_back(time, 0, vtiName(ts));
    if (std::count(particle_steps.begin(), particle_steps.end(), ts))
      for (const int part : {1, 2}) listed.emplace_back(time, part, vtiName(ts, part == 1 ? ".O+.vtp" : ".e-.vtp"));
  }
  return listed;
}

TEST(OutputFiles, TextAndBinaryFilesOfOneSeededRunHoldTheSameArrays) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> formats = {
      {"text", {}}, {"binary", {"vtk_format=binary"}}, {"compressed", {"vtk_format=binary", "vtk_compress=on"}}};
  std::deque<TempFolder> dirs;
  for (const auto& [name, options] : formats) {
    const fs::path& dir = dirs.emplace_back("output_files_" + name).path;
    const ProgramResult r = run(dir, options);
    ASSERT_EQ(r.exit_code, 0) << name << ": " << r.err;
    EXPECT_EQ(seriesOf(dir), expectedSeries({0, 2, 4, 6}, {0, 3, 6})) << name;
    // The ions' sample: 500 evenly spaced of those alive at step 3; no electrons.
    const std::size_t line = r.out.find("ts: 3\t O+:");
    ASSERT_NE(line, std::string::npos) << r.out;
    const std::size_t alive = std::stoul(r.out.substr(line + 10));
    for (const auto& [species, count] : {std::pair{"O+", sampleParticles(alive, 500).count}, {"e-", 0ul}}) {
      const std::string file = readWholeFile((dir / vtiName(3, std::string(".") + species + ".vtp")).string());
      EXPECT_NE(file.find("<Piece NumberOfPoints=\"" + std::to_string(count) + "\""), std::string::npos) << name << species;
    }
  }
  const std::string python = pythonWithVtk();
  if (python.empty()) GTEST_SKIP() << NO_VTK;
  for (const int step : {3, 6}) {  // 3 has particles, no fields: the read-back of its image must fail
    const ProgramResult r = runProgram(python, {READBACK, "compare", dirs[0].path.string(), dirs[1].path.string(),
                                                dirs[2].path.string(), std::to_string(step)});
    EXPECT_EQ(r.exit_code, step == 6 ? 0 : 1) << r.out << r.err;
  }
  for (const TempFolder& d : dirs) {
    const ProgramResult r = runProgram(python, {READBACK, "series", d.path.string()});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  }
}

TEST(OutputFiles, AStepThatCannotBeWrittenLeavesTheOtherStepsAndTheSeriesValid) {
  const TempFolder folder("output_files_failures");
  const fs::path dir = folder.path;
  fs::create_directories(dir / "vti" / "00004.vti");  // step 4: the image cannot be opened
  // The disk is full for these, series.pvd.tmp on the series' first rewrite.
  for (const char* full : {"vti/00002.vti", "vti/00003.O+.vtp", "output_O_2.csv", "series.pvd.tmp"})
    fs::create_symlink("/dev/full", dir / full);
  const ProgramResult r = run(dir, {"vtk_format=binary", "vtk_compress=on"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Simulation took"), std::string::npos);
  for (const char* report : {"Could not write series.pvd.tmp\n", "Could not write vti/00002.vti\n",
                             "Could not open output_O_4.csv//..//vti//00004.vti\n", "Could not write vti/00003.O+.vtp\n",
                             "Could not write output_O_2.csv\n"}) {
    const std::size_t at = r.err.find(report);
    EXPECT_NE(at, std::string::npos) << report << " in\n" << r.err;
    EXPECT_EQ(at, r.err.rfind(report)) << report << " reported twice";
  }
  // The failed files are left out; step 0's image, whose series rewrite
  // failed, is listed from the next rewrite on.
  std::vector<Listed> expected = expectedSeries({0, 6}, {0, 3, 6});
  std::erase_if(expected, [](const Listed& l) { return std::get<2>(l) == "vti/00003.O+.vtp"; });
  EXPECT_EQ(seriesOf(dir), expected);
  EXPECT_FALSE(fs::exists(dir / "series.pvd.tmp"));
  EXPECT_EQ(readWholeFile((dir / "output_e_2.csv").string()).rfind("x,y,z,data\n", 0), 0u);  // the step's other files are whole
  const std::string python = pythonWithVtk();
  if (python.empty()) GTEST_SKIP() << NO_VTK;
  const ProgramResult read = runProgram(python, {READBACK, "series", dir.string()});
  EXPECT_EQ(read.exit_code, 0) << read.out << read.err;
}

// Once the beam reaches the plate, every step's current is exactly q n v A.
TEST(BeamCurrent, APlateAbsorbingAColdBeamCollectsQNVA) {
  // Powers of two throughout, so every product is exact: n v A dt / 2^13 = 8
  // macro-particles per step, a whole number, so the injection's draw adds nothing.
  const double n = 1099511627776.0, v = 1048576.0, side = 0.0078125;  // m^-3, m/s, m
  const TempFolder dir("beam_current");
  // The plate's face lies 20.5 steps downstream: every batch reaches it in
  // its 21st push, half a step clear of the face.
  dir.write("plate.amf", boxesAmf({{"plate", {0.023926, 0.0234375, 0.0234375}, {0.05, 0.0390625, 0.0390625}}}));
  CommandLine cl("plate.amf");
  for (int p = 1; p <= 3; ++p) cl.set(p, "17");
  for (int p : {5, 7, 9}) cl.set(p, "0.0625");  // cells of 2^-8 m
  cl.set(31, "1000").set(32, "1").set(33, "2").set(35, "1048576").set(37, "1099511627776");
  const char* corners[] = {"0.00390625", "0.02734375", "0.02734375", "0.00390625", "0.03515625", "0.03515625"};
  for (int c = 0; c < 6; ++c) cl.set(39 + c, corners[c]);
  const ProgramResult r = runProgram(PLASMABOX_BINARY,
                                     cl.with({"dt=9.31322574615478515625e-10", "macro_weight=8192", "max_step=30",
                                              "seed=2", "history=history.csv"}),
                                     dir.path.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;

  const std::vector<std::vector<std::string>> rows = readCsv(dir.file("history.csv"));
  ASSERT_EQ(rows.size(), 32u);
  const auto column = std::find(rows[0].begin(), rows[0].end(), "current_plate_A");
  ASSERT_NE(column, rows[0].end());
  const auto current = static_cast<std::size_t>(column - rows[0].begin());
  const double collected = 1.602176565e-19 * n * v * (side * side);  // A: q n v A
  for (int step = 0; step <= 30; ++step) {
    const std::vector<std::string>& row = rows[static_cast<std::size_t>(step) + 1];
    EXPECT_EQ(std::stod(row.at(current)), step < 20 ? 0.0 : collected) << "step " << step;
    EXPECT_EQ(std::stoi(row[2]), 8 * (step < 20 ? step + 1 : 20)) << "step " << step;  // O+ macro-particles alive
  }
}

}  // namespace
