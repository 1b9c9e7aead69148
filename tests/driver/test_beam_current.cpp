// The current a plate collects from a cold ion beam, in the history file:
// every step, once the beam has crossed to it, exactly q n v A.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

TEST(BeamCurrent, APlateAbsorbingAColdBeamCollectsQNVA) {
  // Powers of two throughout, so that every product below is exact: a beam of
  // n = 2^40 m^-3 ions at v = 2^20 m/s through a square of A = 2^-14 m^2 with
  // dt = 2^-30 s and 2^13 ions per macro-particle brings n v A dt / 2^13 = 8
  // macro-particles per step, a whole number: the injection's draw adds nothing.
  const double n = 1099511627776.0, v = 1048576.0, side = 0.0078125;  // m^-3, m/s, m
  const TempFolder dir("beam_current");
  // The beam starts at x = 2^-8 m and moves 2^-10 m per step; the plate's face
  // lies 20.5 steps downstream, so every batch reaches it in its 21st push,
  // half a step clear of the face.
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
