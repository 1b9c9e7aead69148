// The history file: the energies of a row against values worked out by hand,
// and a disk that fills in the middle of a row.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "output/historyFile.h"
#include "output/historyRow.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

TEST(HistoryRow, KineticAndFieldEnergiesOfKnownParticlesAndAUniformField) {
  World world(5, 4, 3);
  world.grid.setExtents({0, 0, 0}, {0.02, 0.03, 0.04});  // m: a box of 2.4e-5 m^3
  for (Vec3& e : world.ef.data) e = {300.0, 0.0, -400.0};  // V/m: |E| = 500 everywhere
  world.phi(1, 2, 0) = -3.5, world.phi(4, 0, 2) = 12.0;
  world.ts = 7, world.time = 8e-9;
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 16 * AMU, QE, 50, world);
  species.emplace_back("e-", ME, -QE, 50, world);
  const std::vector<Particle> ion_list = {{{0.01, 0.01, 0.01}, {0.0, 2e4, 0.0}, 50.0}};
  const std::vector<Particle> electron_list = {{{0.01, 0.01, 0.01}, {3e5, 4e5, 0.0}, 50.0},
                                           {{0.01, 0.02, 0.03}, {0.0, 0.0, -1e6}, 20.0}};
  species[0].particles.assign(ion_list);
  species[1].particles.assign(electron_list);
  const HistoryRow row = measureHistoryRow(world, species, {{3, 1}, {0, 2}}, {true, 12, 0.5}, {1e-6, -2e-6});

  EXPECT_EQ(row.step, 7);
  EXPECT_EQ(row.time, 8e-9);
  ASSERT_EQ(row.species.size(), 2u);
  EXPECT_EQ(row.species[0].count, 1u);
  EXPECT_EQ(row.species[1].count, 2u);
  EXPECT_TRUE(row.species[0].injected == 3 && row.species[0].lost == 1 && row.species[1].lost == 2);
  // 1/2 m v^2 for each real particle, times the real particles per macro-particle.
  EXPECT_NEAR(row.species[0].kinetic, 0.5 * 16 * 1.660538921e-27 * 4e8 * 50, 1e-12 * row.species[0].kinetic);
  const double electrons = 0.5 * 9.10938215e-31 * (2.5e11 * 50 + 1e12 * 20);  // J
  EXPECT_NEAR(row.species[1].kinetic, electrons, 1e-12 * electrons);
  // eps0 / 2 |E|^2 over the box's volume.
  const double field = 0.5 * 8.85418782e-12 * 250000.0 * 2.4e-5;  // J
  EXPECT_NEAR(row.field_energy, field, 1e-12 * field);
  EXPECT_EQ(row.phi_min, -3.5);
  EXPECT_EQ(row.phi_max, 12.0);
  EXPECT_TRUE(row.solved && row.solve_iterations == 12 && row.solve_residual == 0.5);
  EXPECT_EQ(row.currents, (std::vector<double>{1e-6, -2e-6}));
}

// Bytes the disk still takes; a write beyond them writes what fits and then
// fails as a full disk does.
std::size_t room = 0;

ssize_t fillingDisk(int fd, const void* data, std::size_t size) {
  if (room == 0) {
    errno = ENOSPC;
    return -1;
  }
  const ssize_t n = ::write(fd, data, std::min(size, room));
  if (n > 0) room -= static_cast<std::size_t>(n);
  return n;
}

HistoryRow rowOf(int32_t step) {
  HistoryRow row;
  row.step = step;
  row.time = 1e-11 * (step + 1);
  row.species = {{100u + static_cast<std::size_t>(step), 2.5e-17, 4, 1}};
  row.currents = {-3e-6};
  row.extra = {12.5};
  return row;
}

TEST(HistoryFile, AFullDiskLeavesTheFileEndingWithAWholeRow) {
  const TempFolder dir("history_full");
  const std::string path = dir.file("history.csv");
  const std::string header = "step,time_s,e-_count,e-_kinetic_J,field_energy_J,phi_min_V,phi_max_V,solve_iterations,"
                             "solve_residual,current_plate_A,e-_injected,e-_lost,plate_V\n";
  const std::string rows[] = {"0,1e-11,100,2.5e-17,0,0,0,,,-3e-06,4,1,12.5\n",
                              "1,2e-11,101,2.5e-17,0,0,0,,,-3e-06,4,1,12.5\n",
                              "2,3e-11,102,2.5e-17,0,0,0,,,-3e-06,4,1,12.5\n"};
  const std::size_t row = rows[0].size();
  const struct {
    std::size_t room;  // bytes the disk takes
    int whole;         // rows that fit whole
  } cases[] = {
      {header.size() + 3 * row, 3},      // everything fits: no report
      {header.size(), 0},                // full before the first row
      {header.size() + 7, 0},            // full inside the first row
      {header.size() + row, 1},          // full exactly after a row
      {header.size() + 2 * row - 1, 1},  // one byte short of the second row's end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.room);
    room = c.room;
    testing::internal::CaptureStderr();
    {
      HistoryFile file = openHistoryFile(path, {"e-"}, {"plate"}, {"plate_V"}, fillingDisk);
      for (int32_t step = 0; step < 3; ++step) {
        writeHistoryRow(file, rowOf(step));
        // Room again after the failure: still no row, which would leave a gap in the steps.
        if (file.fd < 0) room = std::numeric_limits<std::size_t>::max();
      }
    }
    const std::string err = testing::internal::GetCapturedStderr();
    std::string expected = header;
    for (int r = 0; r < c.whole; ++r) expected += rows[r];
    EXPECT_EQ(readWholeFile(path), expected);
    EXPECT_EQ(err, c.whole < 3 ? "Could not write " + path + "\n" : "");
  }
  room = 10;  // not even the header
  EXPECT_THROW(openHistoryFile(path, {"e-"}, {"plate"}, {"plate_V"}, fillingDisk), std::runtime_error);
}

}  // namespace
