// Floating, biased and ramped conductors, and photoelectrons, in whole runs against known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/testMeshes.h"
#include "mesh/constants.h"
#include "run_in_process.h"
#include "scene_box.h"
#include "solver/gaussCharge.h"
#include "sphere_potentials.h"
#include "support/amf_meshes.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

constexpr double VACUUM_PERMITTIVITY = 8.85418782e-12;  // F/m

// A sphere of radius a = 10 cells, walls 3a from its centre: capacitance within
// 6% of 4 pi eps0 a / (1 - 1.75 a / L) (image charges; the node staircase
// shrinks the sphere by about a third of a cell); floating with the charge of
// 2 V it stays at 2 V.
TEST(Conductors, ASphereInAGroundedCubeHasItsCapacitance) {
  const TempFolder folder("capacitance");
  const double a = 0.1, h = 0.01, half = 0.3;  // m: the sphere's radius, the spacing, the centre to the walls
  const Vec3 centre{half + 0.3 * h, half + 0.2 * h, half + 0.1 * h};  // no node on the surface
  const CommandLine cl = sceneBox(folder, {sphereMesh("Sphere", centre, a, 4)}, 61, 2 * half);
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "floating=Sphere", "voltage.Sphere=2",
                          "max_step=2", "threads=2"}));
  const ConductorSystem& sys = r.run->conductors;
  ASSERT_EQ(sys.groups, 1);
  const double expected = 4 * std::numbers::pi * VACUUM_PERMITTIVITY * a / (1 - 1.75 * a / (2 * half));  // F
  EXPECT_NEAR(sys.capacitance[0], expected, 0.06 * expected);
  EXPECT_NEAR(sys.group_charge[0], 2.0 * sys.capacitance[0], 1e-6 * sys.group_charge[0]);
  while (r.step()) EXPECT_NEAR(sys.conductors[0].potential, 2.0, 1e-6);
}

// Two floating spheres beside an electrode ramping from 10 V to -10 V: a
// symmetric capacitance matrix, each sphere keeps its charge in vacuum, and
// its potential follows the electrode.
TEST(Conductors, FloatingConductorsKeepTheirChargeWhileAnElectrodeRamps) {
  const TempFolder folder("ramp");
  const double h = 0.01;
  const CommandLine cl = sceneBox(folder,
                                  {sphereMesh("A", {0.153, 0.202, 0.201}, 0.04, 3),
                                   sphereMesh("B", {0.253, 0.202, 0.201}, 0.03, 3),
                                   boxMesh("electrode1", {0.1 + 0.3 * h, 0.1 + 0.2 * h, 0.3}, {0.3, 0.3, 0.34})},
                                  41, 0.4);
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "floating=A,B", "voltage.A=1",
                          "voltage.electrode1=10:-10", "max_step=4", "threads=2"}));
  const ConductorSystem& sys = r.run->conductors;
  ASSERT_EQ(sys.groups, 2);
  EXPECT_NEAR(sys.capacitance[1], sys.capacitance[2], 1e-4 * std::fabs(sys.capacitance[1]));
  EXPECT_LT(sys.capacitance[1], 0.0);  // a charge on one induces the opposite on the other
  const std::vector<double> start = sys.group_charge;
  std::vector<double> potential_a;
  while (r.step()) {
    const std::vector<double> q = gaussCharges(*r.run->world, sys.group_of_node, sys.groups);
    for (int g = 0; g < 2; ++g)
      EXPECT_NEAR(q[g], start[g], 1e-5 * std::fabs(start[0])) << "group " << g << " step " << r.run->world->ts;
    EXPECT_NEAR(r.run->conductors.conductors[2].potential, 10.0 - 20.0 * r.run->world->ts / 4, 1e-9);
    potential_a.push_back(sys.conductors[0].potential);
  }
  ASSERT_EQ(potential_a.size(), 5u);
  EXPECT_GT(potential_a.front(), potential_a.back() + 0.1);  // the electrode pulls it down as it falls
}

// OML balance: the potential V (relative to the plasma) at which the electron
// current I_e0 exp(eV/kTe) of a Maxwellian equals the orbit-limited ion
// current I_i0 (1 - eV/kTi), I_s0 = e n A sqrt(kT / (2 pi m)); by bisection.
double omlFloatingPotential(double te, double ti, double mi) {
  const double me = 9.10938215e-31, ratio = std::sqrt(me * ti / (mi * te));
  double lo = -20 * te, hi = 0.0;
  for (int it = 0; it < 200; ++it) {
    const double v = 0.5 * (lo + hi);
    (std::exp(v / te) > ratio * (1 - v / ti) ? hi : lo) = v;
  }
  return 0.5 * (lo + hi);
}

// A sphere of half a Debye length in ions of 1 amu and Boltzmann electrons
// floats where the fluid's thermal current equals the orbit-limited ion
// current, -2.50 V; its charge is at every step its start charge plus what it
// collected.
TEST(Conductors, ASphereFloatsWhereTheCurrentsBalanceWithBoltzmannElectrons) {
  const TempFolder folder("oml_boltzmann");
  const Vec3 centre{0.05, 0.05, 0.05};
  const CommandLine cl = sceneBox(folder, {sphereMesh("Sphere", centre, 0.005, 3)}, 41, 0.1).set(26, "1");
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "potential_method=1",
                          "ambient_density=5.53e11", "ambient_temperature_e=1", "ambient_temperature_i=1",
                          "floating=Sphere", "macro_weight=1080", "dt=1e-7", "max_step=150", "seed=1", "threads=2"}));
  ConductorSystem& sys = r.run->conductors;
  double collected = sys.group_charge[0], mean = 0.0;
  int samples = 0;
  while (r.step()) {
    const plasmabox::Run& run = *r.run;
    collected += run.currents[0] * run.world->dt;  // one process: its currents are the whole run's
    EXPECT_NEAR(sys.group_charge[0], collected, 1e-9 * std::fabs(collected));
    const double q = gaussCharges(*run.world, sys.group_of_node, sys.groups)[0];
    EXPECT_NEAR(q, sys.group_charge[0], 2e-3 * std::fabs(sys.group_change[0]) + 1e-6 * sys.capacitance[0]);
    if (run.world->ts >= 60)  // six ion transits of a Debye length
      mean += sys.conductors[0].potential - meanPotentialBeyond(*run.world, centre, 0.02), ++samples;
  }
  const double expected = omlFloatingPotential(1.0, 1.0, 1.660538921e-27);
  EXPECT_NEAR(expected, -2.50, 0.01);
  EXPECT_NEAR(mean / samples, expected, 0.1 * std::fabs(expected));
}

// A probe held 2 V above a floating body is one conductor with it: exactly
// 2 V above while their currents sum to zero on average once charged.
TEST(Conductors, ABiasedProbeFollowsItsFloatingBody) {
  const TempFolder folder("bias");
  const CommandLine cl = sceneBox(folder,
                                  {sphereMesh("Body", {0.05, 0.05, 0.05}, 0.008, 3),
                                   boxMesh("Probe", {0.0702, 0.0452, 0.0451}, {0.0752, 0.0552, 0.0551})},
                                  31, 0.1)
                             .set(26, "1");
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "potential_method=1",
                          "ambient_density=5.53e11", "ambient_temperature_e=1", "ambient_temperature_i=1",
                          "floating=Body", "bias.Probe=Body:2", "macro_weight=400", "dt=1e-7", "max_step=160",
                          "seed=2", "threads=2"}));
  const ConductorSystem& sys = r.run->conductors;
  ASSERT_EQ(sys.conductors.size(), 2u);
  ASSERT_EQ(sys.groups, 1);
  std::vector<double> net;
  while (r.step()) {
    EXPECT_EQ(sys.conductors[1].potential, sys.conductors[0].potential + 2.0);
    if (r.run->world->ts >= 60) net.push_back(r.run->currents[0] + r.run->currents[1]);
  }
  double mean = 0.0, spread = 0.0;
  for (double c : net) mean += c / static_cast<double>(net.size());
  for (double c : net) spread += (c - mean) * (c - mean) / static_cast<double>(net.size() - 1);
  EXPECT_LT(std::fabs(mean), 3.0 * std::sqrt(spread / static_cast<double>(net.size())));
  EXPECT_LT(sys.conductors[0].potential, -1.0);  // it charged: the electrons' flux exceeds the ions'
}

// With kinetic electrons the potential the particles meet at the sphere's
// triangles floats where the OML currents balance, -2.50 V (the nodes, a
// staircase inside the triangles, sit below that).
TEST(Conductors, ASphereFloatsWhereTheCurrentsBalanceWithKineticElectrons) {
  const TempFolder folder("oml_kinetic");
  const Vec3 centre{0.0503, 0.0502, 0.0501};
  const CommandLine cl = sceneBox(folder, {sphereMesh("Sphere", centre, 0.005, 3)}, 31, 0.1).set(26, "1");
  // Eight macro-particles per cell and species; it starts near its floating
  // charge, so that the run needs only the time the sheath takes to form.
  InProcessRun r(cl.with({"field_model=electrostatic", "walls=grounded", "ambient_density=5.53e11",
                          "ambient_temperature_e=1", "ambient_temperature_i=1", "floating=Sphere",
                          "voltage.Sphere=-3", "macro_weight=2560", "dt=4e-9", "max_step=700", "seed=1",
                          "threads=2"}));
  double mean = 0.0;
  int samples = 0;
  while (r.step())
    if (r.run->world->ts >= 400 && r.run->world->ts % 10 == 0)
      mean += surfacePotential(*r.run->world, centre, 0.005) - meanPotentialBeyond(*r.run->world, centre, 0.02),
          ++samples;
  const double expected = omlFloatingPotential(1.0, 1.0, 1.660538921e-27);
  EXPECT_NEAR(mean / samples, expected, 0.1 * std::fabs(expected));
}

// Photoelectrons in whole runs against known answers.
// The photoelectron charge (C) each object emitted per step, its mean and standard error.
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

// j seen dt: the charge per step of a surface the sun sees as area `seen` (m^2).
void expectCurrent(const EmittedPerStep& e, std::size_t o, double j, double seen, double dt, const std::string& what) {
  const double expected = j * seen * dt;
  EXPECT_NEAR(e.mean(o), expected, 3 * e.standardError(o) + 1e-9 * expected) << what;
}

// A plate lit at 0 and 60 degrees from its top's normal emits j times the
// area the sun sees: top cos(theta) plus lit edge sin(theta).
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

// By bisection, V > 0 where the escaping photoelectrons j pi a^2 exp(-V/T)
// (1 + V/T) balance the OML electron current I_e0 (1 + V/Te).
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

// A floating sunlit sphere charges from 1 V to where escaping photoelectrons
// balance collected electrons (1.96 V; 2.06 V on its triangles, 2.56 V on its
// staircase nodes); its charge is at every step its start charge plus what it
// collected minus what it emitted.
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
