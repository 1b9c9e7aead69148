// The ambient plasma, the background magnetic field and the motional electric
// field, in whole runs against known answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "run_in_process.h"
#include "support/amf_boxes.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

const std::string EMPTY_SCENE = std::string(PLASMABOX_SOURCE_DIR) + "/examples/oscillation/empty.amf";
constexpr double E_CHARGE = 1.602176565e-19, E_MASS = 9.10938215e-31, AMU_KG = 1.660538921e-27;

// A cube of n nodes over [0, size] (m), nothing loaded or injected, output
// only at step 0, into folder.
CommandLine emptyBox(const TempFolder& folder, const std::string& scene, int n, double size) {
  CommandLine cl(scene);
  const std::string nodes = std::to_string(n), extent = std::to_string(size);
  cl.set(1, nodes).set(2, nodes).set(3, nodes).set(5, extent).set(7, extent).set(9, extent);
  for (int corner : {14, 15, 16, 20, 21, 22}) cl.set(corner, extent);  // the loading boxes fill the box
  cl.set(25, folder.path.string() + "/").set(31, "1000000").set(32, "0").set(53, "0");
  cl.args.resize(53);  // no magnets
  return cl;
}

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

// m^-3, the mean density on the nodes of the wall plane `wall` (x-, x+, y-,
// y+, z-, z+) of a cube of n nodes.
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

// An empty box with grounded walls in a thin, hot, drifting plasma (its Debye
// length, 7.4 m, exceeds the 0.5 m box, so no field can hide an injection
// fault) keeps its density everywhere, at the walls too, and the particles keep
// the plasma's temperature and drift, after three crossing times of the ions.
TEST(Ambient, AThinDriftingPlasmaKeepsItsDensityTemperatureAndDrift) {
  const TempFolder folder("ambient_box");
  CommandLine cl = emptyBox(folder, EMPTY_SCENE, 9, 0.5);
  cl.set(26, "1");  // ions of 1 amu: 98 km/s at 100 eV, three crossings of the box in 153 steps
  const double n = 1e6, te = 1.0, ti = 100.0, u = 1e5;
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "ambient_density=1e6",
                          "ambient_temperature_e=1", "ambient_temperature_i=100", "ambient_drift=1e5,0,0",
                          "macro_weight=1", "dt=1e-7", "max_step=210", "seed=11", "threads=2"}));
  const double expected_count = n * 0.125 / 1.0;  // macro-particles per species in the box
  // Averaged over six steps after three ion crossings (the electrons cross the
  // box in 12 steps, the ions in 51), so that the noise of the wall planes (a
  // sixteenth of the particles each) and of the electrons' mean velocity stays
  // well below 3%.
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

// An electron in background_B alone gyrates with the cyclotron period
// 2 pi me / (e B) and radius v me / (e B).
TEST(Ambient, AnElectronGyratesInTheBackgroundField) {
  const TempFolder folder("ambient_gyration");
  CommandLine cl = emptyBox(folder, EMPTY_SCENE, 5, 1.0);
  cl.set(29, "20");  // one electron: 20 m^-3 over 1 m^3 at weight 40
  const double b = 1e-5, v = 1e4, dt = 5e-8;  // omega_ce dt = 0.088
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "macro_weight=40", "load_velocity_e=1e4,0,0",
                          "background_B=0,0,1e-5", "dt=5e-8", "max_step=720", "seed=2"}));
  ASSERT_EQ(r.run->species[1].particles.size(), 1u);
  double x_min = 1e9, x_max = -1e9, first = -1, last = -1, previous = v;
  int crossings = 0;
  while (r.step()) {
    const Particle p = listOrder(r.run->species[1].particles).at(0);
    x_min = std::min(x_min, p.pos.x), x_max = std::max(x_max, p.pos.x);
    if (previous < 0.0 && p.vel.x >= 0.0) {  // vx turns positive: once per period
      const double t = r.run->world->ts - p.vel.x / (p.vel.x - previous);
      if (crossings++ == 0) first = t;
      last = t;
    }
    previous = p.vel.x;
  }
  const double omega = E_CHARGE * b / E_MASS;  // rad/s
  ASSERT_GE(crossings, 9);
  EXPECT_NEAR((last - first) / (crossings - 1) * dt, 2 * std::numbers::pi / omega, 0.01 * 2 * std::numbers::pi / omega);
  EXPECT_NEAR((x_max - x_min) / 2, v / omega, 0.01 * v / omega);
}

// A cold plasma flowing across background_B keeps its velocity: the motional
// field -u x B gives every particle the E x B drift u.
TEST(Ambient, ACrossFieldFlowKeepsItsDrift) {
  const TempFolder folder("ambient_drift");
  CommandLine cl = emptyBox(folder, EMPTY_SCENE, 9, 0.5);
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

// Particles a loading would place inside an object are not created: nothing
// loaded inside the Body reaches it as current at the first step.
TEST(Ambient, LoadedParticlesInsideAnObjectAreNotCreated) {
  const TempFolder folder("ambient_inside");
  const std::string scene = folder.write("body.amf", boxesAmf({{"Body", {0.3, 0.3, 0.3}, {0.7, 0.7, 0.7}}}));
  CommandLine cl = emptyBox(folder, scene, 11, 1.0);
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

}  // namespace
