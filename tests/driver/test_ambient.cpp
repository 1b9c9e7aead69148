// The ambient plasma, the background magnetic field and the plasma frequency in whole
// runs, against known answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "run_in_process.h"
#include "scene_box.h"
#include "support/command_line.h"
#include "support/run_on_processes.h"

using namespace plasmabox;

namespace {

constexpr double E_CHARGE = 1.602176565e-19;  // C

struct Moments {
  double count = 0, mean[3] = {0, 0, 0}, temperature[3] = {0, 0, 0};  // -, m/s, eV
};

Moments moments(const Species& s) {
  Moments m;
  const std::vector<Particle> particles = listOrder(s.particles);
  m.count = static_cast<double>(particles.size());
  for (const Particle& p : particles)
    for (int a = 0; a < 3; ++a) m.mean[a] += p.vel[a] / m.count;
  for (const Particle& p : particles)
    for (int a = 0; a < 3; ++a) m.temperature[a] += std::pow(p.vel[a] - m.mean[a], 2) * s.mass / E_CHARGE / m.count;
  return m;
}

// The mean density (m^-3) on wall plane `wall` (x-, x+, y-, y+, z-, z+) of a cube of n nodes.
double wallDensity(const Field& den, int wall, int n) {
  double sum = 0.0;
  const int axis = wall / 2, at = wall % 2 == 0 ? 0 : n - 1;
  for (int a = 0; a < n; ++a)
    for (int b = 0; b < n; ++b) {
      int ijk[3];
      ijk[axis] = at, ijk[(axis + 1) % 3] = a, ijk[(axis + 2) % 3] = b;
      sum += den(ijk[0], ijk[1], ijk[2]);
    }
  return sum / (n * n);
}

// A thin, hot, drifting plasma (Debye length 7.4 m against a 0.5 m box, so no
// field hides an injection fault) keeps its density, at the walls too, its
// temperature and its drift, after three ion crossing times.
TEST(Ambient, AThinDriftingPlasmaKeepsItsDensityTemperatureAndDrift) {
  const TempFolder folder("ambient_box");
  CommandLine cl = sceneBox(folder, {}, 9, 0.5);
  cl.set(26, "1");  // ions of 1 amu: 98 km/s at 100 eV, three crossings of the box in 153 steps
  const double n = 1e6, te = 1.0, ti = 100.0, u = 1e5;
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "ambient_density=1e6",
                          "ambient_temperature_e=1", "ambient_temperature_i=100", "ambient_drift=1e5,0,0",
                          "macro_weight=1", "dt=1e-7", "max_step=210", "seed=11", "threads=2"}));
  const double expected_count = n * 0.125 / 1.0;  // macro-particles per species in the box
  // Six samples after three ion crossings keep the noise of the wall planes
  // and of the electrons' mean velocity well below 3%.
  double box[2] = {0, 0}, walls[2][6] = {}, mean[2][3] = {}, temperature[2][3] = {};
  int samples = 0;
  while (r.step()) {
    if (r.run->world->ts < 160 || r.run->world->ts % 10 != 0) continue;
    ++samples;
    for (int q = 0; q < 2; ++q) {
      const Species& s = r.run->species[q];
      box[q] += static_cast<double>(s.particles.size()) / expected_count;
      for (int wall = 0; wall < 6; ++wall) walls[q][wall] += wallDensity(s.den, wall, 9) / n;
      const Moments m = moments(s);
      for (int a = 0; a < 3; ++a) mean[q][a] += m.mean[a], temperature[q][a] += m.temperature[a];
    }
  }
  ASSERT_EQ(samples, 6);
  for (int q = 0; q < 2; ++q) {
    const char* name = q == 0 ? "ions" : "electrons";
    EXPECT_NEAR(box[q] / samples, 1.0, 0.03) << name;
    for (int wall = 0; wall < 6; ++wall) EXPECT_NEAR(walls[q][wall] / samples, 1.0, 0.03) << name << " wall " << wall;
    const double t = q == 0 ? ti : te;
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(temperature[q][a] / samples, t, 0.03 * t) << name << " axis " << a;
    EXPECT_NEAR(mean[q][0] / samples, u, 0.03 * u) << name;
    EXPECT_NEAR(mean[q][1] / samples, 0.0, 0.03 * u) << name;
    EXPECT_NEAR(mean[q][2] / samples, 0.0, 0.03 * u) << name;
  }
}

// A cold flow across background_B keeps its velocity: -u x B gives it the E x B drift u.
TEST(Ambient, ACrossFieldFlowKeepsItsDrift) {
  const TempFolder folder("ambient_drift");
  CommandLine cl = sceneBox(folder, {}, 9, 0.5);
  cl.set(26, "1");
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "ambient_density=1e6",
                          "ambient_temperature_e=0", "ambient_temperature_i=0", "ambient_drift=1e4,2e3,0",
                          "background_B=0,0,1e-5", "macro_weight=20", "dt=5e-8", "max_step=200", "seed=4"}));
  while (r.step()) {
  }
  for (int q = 0; q < 2; ++q) {
    const Moments m = moments(r.run->species[q]);
    ASSERT_GT(m.count, 1000) << q;
    EXPECT_NEAR(m.mean[0], 1e4, 100.0) << q;
    EXPECT_NEAR(m.mean[1], 2e3, 100.0) << q;
    double worst = 0.0;
    for (const Particle& p : listOrder(r.run->species[q].particles))
      worst = std::max({worst, std::fabs(p.vel.x - 1e4), std::fabs(p.vel.y - 2e3)});
    EXPECT_LT(worst, 100.0) << "species " << q << ": a particle left the drift (gyrating about it)";
  }
}

// Loading creates nothing inside an object, so nothing reaches it as current at once.
TEST(Ambient, LoadedParticlesInsideAnObjectAreNotCreated) {
  const TempFolder folder("ambient_inside");
  CommandLine cl = sceneBox(folder, {boxMesh("Body", {0.3, 0.3, 0.3}, {0.7, 0.7, 0.7})}, 11, 1.0);
  cl.set(26, "1").set(30, "1e4");  // cold ions at rest over the whole box
  InProcessRun r(cl.with({"voltage.electrode1=0", "macro_weight=1", "seed=9", "max_step=0"}));
  for (const Particle& p : listOrder(r.run->species[0].particles)) {
    const bool inside = p.pos.x > 0.3 && p.pos.x < 0.7 && p.pos.y > 0.3 && p.pos.y < 0.7 && p.pos.z > 0.3 && p.pos.z < 0.7;
    ASSERT_FALSE(inside);
  }
  // The 6.4% of the box inside the Body holds none of the 10,000 draws.
  EXPECT_NEAR(static_cast<double>(r.run->species[0].particles.size()), 1e4 * (1 - 0.064), 4 * std::sqrt(640.0));
  ASSERT_TRUE(r.step());
  ASSERT_EQ(r.run->objects.size(), 1u);
  EXPECT_EQ(r.run->currents[0], 0.0);
}

// A cold slab whose electrons start with a small drift oscillates at the
// plasma frequency: the field energy has the period pi / omega_pe, on one
// process and on two.
// Times (s) of a series' local maxima, refined by a parabola through each and its neighbours.
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
    // A 10 cm box of 33 x 3 x 3 nodes, the slab over 2.5 to 7.5 cm, electrons
    // drifting at 5e4 m/s; zero-gradient walls make it a slab of an infinite
    // plane (grounded walls 5 mm away would screen the sheets of charge).
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
