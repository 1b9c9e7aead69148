// A cold electron-ion slab whose electrons start with a small drift oscillates
// at the electron plasma frequency: the field energy in the history file has
// the period pi / omega_pe. Runs the real program in the electrostatic model,
// on one process and on two (the slab split between them along x).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "support/command_line.h"
#include "support/run_on_processes.h"

using namespace plasmabox;

namespace {

// Times (s) of the local maxima of a sampled series, refined by a parabola
// through each maximum and its neighbours.
std::vector<double> maximaTimes(const std::vector<double>& t, const std::vector<double>& y) {
  std::vector<double> times;
  for (std::size_t q = 1; q + 1 < y.size(); ++q) {
    if (!(y[q] > y[q - 1] && y[q] >= y[q + 1])) continue;
    const double curvature = y[q - 1] - 2 * y[q] + y[q + 1];
    const double shift = curvature != 0.0 ? 0.5 * (y[q - 1] - y[q + 1]) / curvature : 0.0;
    times.push_back(t[q] + shift * (t[q + 1] - t[q]));
  }
  return times;
}

TEST(PlasmaOscillation, FieldEnergyPeriodIsPiOverOmegaPe) {
  for (int processes : {1, 2}) {
    SCOPED_TRACE(std::to_string(processes) + " processes");
    const TempFolder dir("langmuir");
    const double density = 1e12;  // m^-3
    const double omega_pe = std::sqrt(density * QE * QE / (EPS_0 * ME));
    // A 10 cm box of 33 x 3 x 3 nodes; both species loaded over the slab 2.5 to
    // 7.5 cm, the electrons drifting at 5e4 m/s (amplitude 0.9 mm). The walls
    // keep a zero normal gradient, so the box is the slab of an infinite plane
    // (grounded side walls 5 mm away would screen the sheets of charge).
    CommandLine cl("no_objects.amf");
    cl.set(1, "33").set(2, "3").set(3, "3").set(5, "0.1").set(7, "0.01").set(9, "0.01");
    for (int first : {11, 17}) cl.set(first, "0.025").set(first + 3, "0.075").set(first + 4, "0.01").set(first + 5, "0.01");
    cl.set(29, "1e12").set(30, "1e12").set(31, "1000").set(27, "100").set(28, "1e-6");
    const std::vector<std::string> args = cl.with({"field_model=electrostatic", "macro_weight=100", "load_velocity_e=5e4,0,0",
                                                   "max_step=300", "dt=2e-9", "seed=4", "history=history.csv"});  // omega_pe dt 0.11
    const ProgramResult r = runOnProcesses(processes, args, dir.path.string());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("omega_pe*dt"), std::string::npos) << r.err;

    const std::vector<std::vector<std::string>> rows = readCsv(dir.file("history.csv"));
    ASSERT_EQ(rows.size(), 302u);
    ASSERT_TRUE(rows[0].size() > 6 && rows[0][1] == "time_s" && rows[0][6] == "field_energy_J");
    std::vector<double> t, energy;
    for (std::size_t q = 1; q < rows.size(); ++q)
      t.push_back(std::stod(rows[q].at(1))), energy.push_back(std::stod(rows[q].at(6)));
    const std::vector<double> maxima = maximaTimes(t, energy);
    ASSERT_GE(maxima.size(), 8u);
    const double period = (maxima.back() - maxima.front()) / static_cast<double>(maxima.size() - 1);
    EXPECT_NEAR(period, std::numbers::pi / omega_pe, 0.02 * std::numbers::pi / omega_pe) << maxima.size() << " maxima";
  }
}

}  // namespace
