// The program on two processes against the same run on one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "geometry/testMeshes.h"
#include "support/amf_boxes.h"
#include "scene_box.h"
#include "support/command_line.h"
#include "support/python_vtk.h"
#include "support/run_on_processes.h"

using namespace plasmabox;

namespace {

// Two electrodes and a magnet across the slabs' border (17 planes: 0-8 and 9-16).
CommandLine twoElectrodesAndAMagnet(const TempFolder& dir) {
  dir.write("scene.amf", boxesAmf({{"electrode1", {0.002, 0.01, 0.01}, {0.008, 0.03, 0.03}},
                                   {"electrode2", {0.032, 0.01, 0.01}, {0.038, 0.03, 0.03}},
                                   {"magnet1", {0.014, 0.014, 0.014}, {0.027, 0.026, 0.026}}}));
  CommandLine cl(dir.file("scene.amf"));
  cl.set(1, "17").set(2, "9").set(3, "11");
  cl.set(27, "20000").set(28, "1e-7").set(51, "200").set(52, "1e-9").set(31, "1");
  return cl;
}

TEST(DistributedRun, FieldsEqualThoseOfOneProcess) {
  const std::string python = pythonWithVtk();
  const std::string readback = std::string(PLASMABOX_SOURCE_DIR) + "/tests/driver/vtk_readback.py";
  // Solved to convergence: Gauss-Seidel would take too long for the magnet.
  for (const char* solvers : {"potential_solver=sor magnetic_solver=multigrid", "potential_solver=multigrid magnetic_solver=multigrid"}) {
    const TempFolder one("fields_1"), two("fields_2");
    std::vector<std::string> options = {"max_step=0", "voltage.electrode1=100", "voltage.electrode2=-50", "threads=1"};
    const std::string s = solvers;
    options.push_back(s.substr(0, s.find(' ')));
    options.push_back(s.substr(s.find(' ') + 1));
    for (const TempFolder* d : {&one, &two}) {
      const ProgramResult r = runOnProcesses(d == &one ? 1 : 2, twoElectrodesAndAMagnet(*d).with(options), d->path.string());
      ASSERT_EQ(r.exit_code, 0) << solvers << "\n" << r.out << r.err;
    }
    if (python.empty()) GTEST_SKIP() << NO_VTK;
    const ProgramResult r = runProgram(python, {readback, "close", one.path.string(), two.path.string(), "0", "1e-6"});
    EXPECT_EQ(r.exit_code, 0) << solvers << "\n" << r.out << r.err;
  }
}

// The ambient plasma on two slabs keeps the box at n V / w = 6250
// macro-particles per species, and what enters matches what leaves.
TEST(DistributedRun, TheAmbientPlasmaKeepsTheBoxFilledAcrossTheSlabs) {
  const TempFolder d("ambient_2");
  const CommandLine cl = sceneBox(d, {}, 9, 0.5).set(1, "17").set(26, "1");
  const ProgramResult r = runOnProcesses(
      2, cl.with({"field_model=electrostatic", "walls=grounded", "ambient_density=1e6", "ambient_temperature_e=1",
                  "ambient_temperature_i=100", "ambient_drift=1e5,3e4,0", "macro_weight=20", "dt=1e-7", "max_step=80",
                  "seed=5", "threads=1", "history=history.csv"}),
      d.path.string());
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  const std::vector<std::vector<std::string>> rows = readCsv(d.file("history.csv"));
  ASSERT_EQ(rows.size(), 82u);
  ASSERT_EQ(rows[0].at(11), "O+_injected");
  double in[2] = {0, 0}, out[2] = {0, 0};
  for (std::size_t q = 41; q < rows.size(); ++q)  // after two ion crossings
    for (int s = 0; s < 2; ++s) {
      EXPECT_NEAR(std::stod(rows[q].at(2 + 2 * s)), 6250.0, 5 * std::sqrt(6250.0)) << "species " << s << " row " << q;
      in[s] += std::stod(rows[q].at(11 + 2 * s)), out[s] += std::stod(rows[q].at(12 + 2 * s));
    }
  for (int s = 0; s < 2; ++s) EXPECT_NEAR(in[s], out[s], 5 * std::sqrt(in[s])) << "species " << s;
}

// A floating sphere on both slabs floats at the same potential on one process
// and on two, within the noise of the ions.
TEST(DistributedRun, AFloatingSphereFloatsAtTheSamePotentialOnTwoSlabs) {
  std::vector<double> mean;
  for (int n = 1; n <= 2; ++n) {
    const TempFolder d("floating_" + std::to_string(n));
    const CommandLine cl =
        sceneBox(d, {sphereMesh("Sphere", {0.0503, 0.0502, 0.0501}, 0.008, 3)}, 21, 0.1).set(26, "1");
    const ProgramResult r = runOnProcesses(
        n, cl.with({"field_model=electrostatic", "walls=grounded", "potential_method=1", "ambient_density=5.53e11",
                    "ambient_temperature_e=1", "ambient_temperature_i=1", "floating=Sphere", "macro_weight=1000",
                    "dt=1e-7", "max_step=80", "seed=3", "threads=1", "history=history.csv"}),
        d.path.string());
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::vector<std::vector<std::string>> rows = readCsv(d.file("history.csv"));
    ASSERT_EQ(rows.size(), 82u);
    ASSERT_EQ(rows[0].at(16), "potential_Sphere_V");
    double sum = 0.0;
    for (std::size_t q = 42; q < rows.size(); ++q) sum += std::stod(rows[q].at(16)) / 40.0;
    mean.push_back(sum);
  }
  EXPECT_LT(mean[0], -1.5);
  EXPECT_NEAR(mean[1], mean[0], 0.05 * std::fabs(mean[0]));
}

// A sunlit plate across the slabs' border emits the same photoelectrons on
// two processes as on one (the draws come from a shared stream).
TEST(DistributedRun, APlateEmitsTheSamePhotoelectronsOnTwoSlabs) {
  std::vector<std::vector<double>> photo;
  for (int n = 1; n <= 2; ++n) {
    const TempFolder d("photo_" + std::to_string(n));
    const ProgramResult r = runOnProcesses(
        n, sceneBox(d, {boxMesh("Plate", {0.021, 0.031, 0.041}, {0.079, 0.069, 0.049})}, 21, 0.1)
               .with({"field_model=electrostatic", "walls=grounded", "sun=0.3,-0.2,1", "photo_current=1e-3",
                    "macro_weight=1", "dt=1e-9", "max_step=20", "seed=5", "threads=1", "history=history.csv"}),
        d.path.string());
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::vector<std::vector<std::string>> rows = readCsv(d.file("history.csv"));
    ASSERT_EQ(rows.size(), 22u);
    const auto column = std::find(rows[0].begin(), rows[0].end(), "photo_Plate_A");
    ASSERT_NE(column, rows[0].end());
    photo.emplace_back();
    for (std::size_t q = 1; q < rows.size(); ++q)
      photo.back().push_back(std::stod(rows[q].at(static_cast<std::size_t>(column - rows[0].begin()))));
  }
  ASSERT_LT(photo[0][5], 0.0);
  for (std::size_t q = 0; q < photo[0].size(); ++q) EXPECT_NEAR(photo[1][q], photo[0][q], 1e-12 * std::fabs(photo[0][q]));
}

TEST(DistributedRun, AFailureEndsEveryProcessWithOneMessage) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    const char* failure;  // PLASMABOX_TEST_FAILURE, or empty
    const char* message;
  };
  const std::vector<Case> cases = {
      {"bad option on every process", {"max_step=-3"}, "", "max_step"},
      {"failure of process 1 during the run", {"max_step=5"}, "1:2", "test failure on process 1 at step 2"},
      {"failure of process 0 during the run", {"max_step=5"}, "0:3", "test failure on process 0 at step 3"},
  };
  for (const Case& c : cases) {
    const TempFolder d("failure");
    if (*c.failure) setenv("PLASMABOX_TEST_FAILURE", c.failure, 1);
    const ProgramResult r = runOnProcesses(2, twoElectrodesAndAMagnet(d).with(c.options), d.path.string());
    unsetenv("PLASMABOX_TEST_FAILURE");
    EXPECT_FALSE(r.timed_out) << c.what;
    EXPECT_NE(r.exit_code, 0) << c.what;
    const std::size_t at = r.err.find(c.message);
    ASSERT_NE(at, std::string::npos) << c.what << "\n" << r.err;
    EXPECT_EQ(r.err.find(c.message, at + 1), std::string::npos) << c.what << ": printed twice\n" << r.err;
  }
}

TEST(DistributedRun, APieceThatCannotBeWrittenIsReportedByItsProcess) {
  // The second process's piece of step 0 cannot be opened: its message
  // reaches standard error although its console is silent; the run goes on.
  const TempFolder d("piece");
  std::filesystem::create_directories(d.path / "vti" / "00000.1.vti");
  const ProgramResult r = runOnProcesses(
      2, twoElectrodesAndAMagnet(d).with({"max_step=1", "vtk_format=binary", "vtk_parallel=on", "threads=1"}),
      d.path.string());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Could not open vti/00000.1.vti"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(d.path / "vti" / "00001.1.vti"));
}

}  // namespace
