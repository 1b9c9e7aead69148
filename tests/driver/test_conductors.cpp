// Floating, biased and ramped conductors against known answers: the
// capacitance of a sphere in a grounded cube, the charge each conductor keeps,
// and the floating potential of a probe in a plasma.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "geometry/testMeshes.h"
#include "run_in_process.h"
#include "scene_box.h"
#include "sphere_potentials.h"
#include "solver/gaussCharge.h"
#include "support/amf_meshes.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

constexpr double VACUUM_PERMITTIVITY = 8.85418782e-12;  // F/m

// A sphere of radius a = 10 cells in a grounded cube whose walls are 3a from
// its centre: its capacitance is within 6% of 4 pi eps0 a / (1 - 1.75 a / L),
// L the cube's edge (the walls' image charges; the staircase of nodes makes
// the sphere about a third of a cell smaller), and floating with the charge
// of 2 V it stays at 2 V.
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

// Two floating spheres beside an electrode whose voltage ramps from 10 V to
// -10 V: the capacitance matrix is symmetric, and at every step each sphere
// carries the charge it started with (nothing reaches it in vacuum) while
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

// A sphere of half a Debye length (1 cm at 1 eV and 5.53e11 m^-3) floats in
// a plasma of ions of 1 amu whose electrons are a Boltzmann fluid: where the
// fluid's thermal current equals the orbit-limited ion current, -2.50 V
// relative to the plasma. The charge it carries is at every step its start
// charge plus what it collected, and the bias of a probe beside it stays
// exact while their currents balance.
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

// A probe held 2 V above a floating body: the two are one conductor, so the
// probe stays exactly 2 V above the body while the currents they collect
// (ions as particles, the Boltzmann electrons' thermal flux) sum to zero on
// average once the body has charged.
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

// With kinetic electrons the currents that balance are those the particles
// carry across the sphere's triangles: the potential they meet there floats
// where the orbit-motion-limited electron and ion currents balance, -2.50 V
// relative to the plasma. (The sphere's nodes, a staircase inside the
// triangles, sit below that: see the charging example.)
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

}  // namespace
