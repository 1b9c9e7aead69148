// Photoelectrons in whole runs against known answers: the current a plate
// emits at an angle to the sun, the shadow one plate casts on others, and the
// potential a sunlit sphere floats at in a thin plasma.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "run_in_process.h"
#include "scene_box.h"
#include "solver/gaussCharge.h"
#include "sphere_potentials.h"

using namespace plasmabox;

namespace {

// The charge (C) each object emitted as photoelectrons per step, over the
// steps of run r, and its mean and standard error.
struct EmittedPerStep {
  std::vector<std::vector<double>> per_object;
  double mean(std::size_t o) const {
    double sum = 0.0;
    for (double q : per_object[o]) sum += q;
    return sum / static_cast<double>(per_object[o].size());
  }
  double standardError(std::size_t o) const {
    const double m = mean(o);
    double spread = 0.0;
    for (double q : per_object[o]) spread += (q - m) * (q - m);
    const double n = static_cast<double>(per_object[o].size());
    return std::sqrt(spread / (n - 1) / n);
  }
};

EmittedPerStep emittedPerStep(InProcessRun& r) {
  EmittedPerStep e;
  e.per_object.resize(r.run->objects.size());
  while (r.step())
    for (std::size_t o = 0; o < e.per_object.size(); ++o) e.per_object[o].push_back(-r.run->emitted_photo[o]);
  return e;
}

// The photoelectron charge per step of a surface of projected area `seen`
// (m^2, as the sun sees it) at current j (A/m^2): j seen dt.
void expectCurrent(const EmittedPerStep& e, std::size_t o, double j, double seen, double dt, const std::string& what) {
  const double expected = j * seen * dt;
  EXPECT_NEAR(e.mean(o), expected, 3 * e.standardError(o) + 1e-9 * expected) << what;
}

// A plate 0.2 m by 0.1 m by 0.02 m thick lit at 0 and 60 degrees from its
// top's normal: it emits j times the area the sun sees, its top's area
// cos(theta) plus its lit edge's sin(theta).
TEST(Photoemission, APlateEmitsTheCurrentOfTheAreaTheSunSees) {
  const double j = 2e-5, dt = 1e-8;
  for (double degrees : {0.0, 60.0}) {
    const TempFolder folder("photo_angle");
    const double theta = degrees * std::numbers::pi / 180.0;
    const CommandLine cl = sceneBox(folder, {boxMesh("Plate", {0.1, 0.15, 0.19}, {0.3, 0.25, 0.21})}, 21, 0.4);
    const double s = std::sin(theta), c = std::cos(theta);
    std::ostringstream sun;
    sun << std::setprecision(17) << "sun=" << s << ",0," << c;
    InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", sun.str(), "macro_weight=200", "dt=1e-8",
                            "max_step=60", "seed=3", "threads=2"}));
    const EmittedPerStep e = emittedPerStep(r);
    expectCurrent(e, 0, j, 0.2 * 0.1 * c + 0.02 * 0.1 * s, dt, sun.str());
  }
}

// The sun overhead; plate A above two smaller ones: B wholly in its shadow
// emits nothing, C half in it emits half of what its top would in the open,
// A the current of its top.
TEST(Photoemission, APlateInAnothersShadowEmitsNothingAndHalfShadowedHalf) {
  const TempFolder folder("photo_shadow");
  const CommandLine cl = sceneBox(folder,
                                  {boxMesh("A", {0.1, 0.1, 0.25}, {0.3, 0.3, 0.27}),
                                   boxMesh("B", {0.15, 0.15, 0.1}, {0.25, 0.25, 0.12}),
                                   boxMesh("C", {0.25, 0.15, 0.1}, {0.35, 0.25, 0.12})},
                                  21, 0.4);
  const double j = 1e-4, dt = 1e-8;
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "sun=0,0,3", "photo_current=1e-4",
                          "photo_current.A=2e-5", "macro_weight=200", "dt=1e-8", "max_step=80", "seed=4",
                          "threads=2"}));
  const EmittedPerStep e = emittedPerStep(r);
  expectCurrent(e, 0, 2e-5, 0.2 * 0.2, dt, "A");
  EXPECT_EQ(e.mean(1), 0.0);
  expectCurrent(e, 2, j, 0.5 * 0.1 * 0.1, dt, "C");
}

// The potential V > 0 at which the photoelectrons that escape a sphere of
// radius a, j pi a^2 exp(-V/T) (1 + V/T), balance the electrons it collects
// from a thin Maxwellian plasma, I_e0 (1 + V/Te) (orbit-motion limited);
// by bisection.
double sunlitFloatingPotential(double j, double a, double n, double te, double t_photo) {
  const double me = 9.10938215e-31;
  const double ie0 = QE * n * 4 * std::numbers::pi * a * a * std::sqrt(te * QE / (2 * std::numbers::pi * me));
  const double iph0 = j * std::numbers::pi * a * a;
  double lo = 0.0, hi = 50 * t_photo;
  for (int it = 0; it < 200; ++it) {
    const double v = 0.5 * (lo + hi);
    (iph0 * std::exp(-v / t_photo) * (1 + v / t_photo) > ie0 * (1 + v / te) ? lo : hi) = v;
  }
  return 0.5 * (lo + hi);
}

// A floating sphere in sunlight in a plasma whose Debye length is half the
// box's size: it charges positive from 1 V to where the escaping photoelectrons
// balance the collected electrons (1.96 V here; 2.06 V measured on its
// triangles, while its nodes, a staircase inside them, float at 2.56 V), and the charge of its
// solved potential is at every step its start charge plus what it collected
// minus what it emitted.
TEST(Photoemission, ASunlitSphereFloatsWhereItsPhotoelectronsBalanceTheElectrons) {
  const TempFolder folder("photo_float");
  const Vec3 centre{0.0503, 0.0502, 0.0501};
  const double a = 0.01, n = 2.2e11, te = 10.0, j = 0.12;
  const CommandLine cl = sceneBox(folder, {sphereMesh("Sphere", centre, a, 3)}, 31, 0.1).set(26, "1");
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "ambient_density=2.2e11",
                          "ambient_temperature_e=10", "ambient_temperature_i=1", "floating=Sphere",
                          "voltage.Sphere=1", "sun=1,0.3,0.2", "photo_current=0.12", "macro_weight=8000",
                          "dt=5e-10", "max_step=1200", "seed=5", "threads=2"}));
  const ConductorSystem& sys = r.run->conductors;
  double charge = sys.group_charge[0], mean = 0.0;
  int samples = 0;
  while (r.step()) {
    const plasmabox::Run& run = *r.run;
    charge += run.currents[0] * run.world->dt - run.emitted_photo[0] - run.emitted_secondary[0];
    EXPECT_NEAR(sys.group_charge[0], charge, 1e-9 * std::fabs(charge));
    const double q = gaussCharges(*run.world, sys.group_of_node, sys.groups)[0];
    EXPECT_NEAR(q, charge, 1e-3 * std::fabs(charge));
    if (run.world->ts >= 600 && run.world->ts % 10 == 0) mean += surfacePotential(*run.world, centre, a), ++samples;
  }
  const double expected = sunlitFloatingPotential(j, a, n, te, 2.0);
  EXPECT_GT(expected, 1.5);
  EXPECT_NEAR(mean / samples, expected, 0.2 * expected);
}

}  // namespace
