// The field solvers on a slab equal those on the whole mesh (bit for bit on
// one process).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "mesh/Decomposition.h"
#include "mesh/World.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"
#include "solver/MagnetostaticSolver.h"
#include "solver/PotentialSolver.h"
#include "solverTestSupport.h"

namespace plasmabox {
namespace {

// 17 planes: two processes own 9 and 8 of them.
constexpr int NI = 17, NJ = 8, NK = 9;

Decomposition thisRun() {
  const ProcessPlace place = joinProcesses();
  return splitIntoSlabs(NI, place.rank, place.size);
}

// A scene fills node (i, j, k) of a world, given its global plane g.
using Scene = std::function<void(World&, int i, int j, int k, int g)>;

// The whole mesh and this process's slab of it, both holding the scene.
struct Pair {
  std::unique_ptr<World> whole, slab;
};
Pair build(const Scene& scene, double h) {
  Pair p{std::make_unique<World>(NI, NJ, NK), std::make_unique<World>(thisRun(), NJ, NK)};
  for (World* w : {p.whole.get(), p.slab.get()}) {
    w->grid.setExtents({0, 0, 0}, {h * (NI - 1), h * (NJ - 1), h * (NK - 1)});
    eachNode(*w, [&](int i, int j, int k) { scene(*w, i, j, k, w->grid.i0 + i); });
  }
  return p;
}

// Largest difference over the slab's stored nodes, relative to the whole's largest value.
template <class Value>
double relativeDifference(const World& slab, const World& whole, Value value) {
  double diff = 0.0, top = 0.0;
  eachNode(slab, [&](int i, int j, int k) {
    diff = std::max(diff, std::abs(value(slab, i, j, k) - value(whole, slab.grid.i0 + i, j, k)));
  });
  eachNode(whole, [&](int i, int j, int k) { top = std::max(top, std::abs(value(whole, i, j, k))); });
  return diff / top;
}

// On a slab within bound of the whole mesh's solve; on one process the very same.
void expectSameSolution(const Decomposition& part, double difference, double bound) {
  if (part.distributed())
    EXPECT_LT(difference, bound);
  else
    EXPECT_EQ(difference, 0.0);
}

// The same count on every process.
void expectSameOnAllProcesses(const Decomposition& part, double count, const char* what) {
  EXPECT_EQ(minOverProcesses(part, count), maxOverProcesses(part, count)) << what;
}

// Plates at global planes 1 (volts) and NI - 2 (0 V) across the box, a
// charged cloud between them (C/m^3).
Scene capacitor(double volts, double charge) {
  return [=](World& w, int i, int j, int k, int g) {
    if (g == 1 || g == NI - 2) w.object_id(i, j, k) = 1, w.phi(i, j, k) = g == 1 ? volts : 0.0;
    if (g >= 4 && g <= 12 && j >= 2 && j <= 5 && k >= 3 && k <= 5) w.rho(i, j, k) = charge * (1.0 + 0.1 * (g - j + k));
  };
}

// An uneven charge and nothing that holds the potential.
void chargedBox(World& w, int i, int j, int k, int g) {
  w.rho(i, j, k) = 1e-8 * (std::sin(0.7 * g + 0.3 * j) + 0.5 * std::cos(1.3 * k));
}

TEST(DistributedSolves, PotentialOnTheSlabEqualsTheWholeMeshSolve) {
  const struct {
    const char* what;
    Scene scene;
    int32_t method;
    bool multigrid, zero_mean;
    double tol, bound;  // V/m^2; bound relative to the largest potential
  } cases[] = {
      // Relaxation reads stale border planes, so it agrees to the residual;
      // multigrid does not depend on the split and agrees to rounding.
      {"capacitor, SOR", capacitor(270.0, 1e-6), 0, false, false, 1e-2, 1e-7},
      {"capacitor, multigrid", capacitor(270.0, 1e-6), 0, true, false, 1e-2, 1e-9},
      {"no held node, SOR", chargedBox, 0, false, true, 1e-4, 1e-5},
      {"no held node, multigrid", chargedBox, 0, true, true, 1e-4, 1e-9},
      {"capacitor, Boltzmann electrons", capacitor(1.0, QE * 1e12), 3, false, false, 1e-2, 1e-5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pair p = build(c.scene, 0.005);
    PotentialSettings settings = potential(c.method, c.multigrid ? 200 : 40000, c.tol, 0.0, 1e12, 1.5);
    settings.zero_mean_when_singular = c.zero_mean;
    settings.check_interval = 10;
    const auto whole = potentialSolver(*p.whole, settings, c.multigrid);
    const auto slab = potentialSolver(*p.slab, settings, c.multigrid);
    for (int step = 0; step < 2; ++step) {  // the second solve starts from the first's potential
      const Console w = captureConsole([&] { return whole->solve(); });
      const Console s = captureConsole([&] { return slab->solve(); });
      ASSERT_TRUE(w.ok && s.ok) << w.err << s.err;
      EXPECT_EQ(s.out.substr(0, 16), "potential solve\n");
      expectSameOnAllProcesses(p.slab->part, slab->last_iterations, "iterations");
      expectSameOnAllProcesses(p.slab->part, s.outLines(), "console lines");
    }
    const auto phi = [](const World& w, int i, int j, int k) { return w.phi(i, j, k); };
    expectSameSolution(p.slab->part, relativeDifference(*p.slab, *p.whole, phi), c.bound);
  }
}

// A magnetised ball off the centre, reaching across the slabs' border.
void magnetisedSphere(World& w, int i, int j, int k, int g) {
  if (std::pow(g - 8.5, 2) + std::pow(j - 3.5, 2) + std::pow(k - 4, 2) < 9.0) w.M(i, j, k) = {1e5, 2e5, -1e5};
}

TEST(DistributedSolves, MagnetostaticFieldOnTheSlabEqualsTheWholeMeshSolve) {
  for (const bool multigrid : {false, true}) {
    SCOPED_TRACE(multigrid ? "multigrid" : "Gauss-Seidel");
    Pair p = build(magnetisedSphere, 0.001);
    for (World* w : {p.whole.get(), p.slab.get()}) w->pin_point_1 = w->pin_point_2 = {0.0095, 0.0042, 0.0051};
    // A/m^2, against divergences of 1e8; the pinned level makes relaxation slow.
    MagnetostaticSettings settings = magnetostatic(multigrid ? 100 : 60000, multigrid ? 1e-3 : 2e2);
    settings.multigrid = multigrid;
    settings.check_interval = 50;
    MagnetostaticSolver whole(*p.whole, settings), slab(*p.slab, settings);
    const Console w = captureConsole([&] { return whole.solveMagnetostatics(); });
    const Console s = captureConsole([&] { return slab.solveMagnetostatics(); });
    ASSERT_TRUE(w.ok && s.ok) << w.err << s.err;
    expectSameOnAllProcesses(p.slab->part, s.outLines(), "residual checks");
    // Only the owner of the pinned node holds it.
    const double pins = slab.pin_node_1 >= 0 && slab.row_kind[static_cast<std::size_t>(slab.pin_node_1)] ==
                                                    MagnetostaticSolver::PINNED;
    EXPECT_EQ(sumOverProcesses(p.slab->part, pins), 1.0);
    const double bound = multigrid ? 1e-9 : 1e-6;
    const auto phi_m = [](const World& v, int i, int j, int k) { return v.phi_m(i, j, k); };
    expectSameSolution(p.slab->part, relativeDifference(*p.slab, *p.whole, phi_m), bound);
    for (int d = 0; d < 3; ++d) {
      SCOPED_TRACE(testing::Message() << "B component " << d);
      const auto B = [d](const World& v, int i, int j, int k) { return v.B(i, j, k)[d]; };
      expectSameSolution(p.slab->part, relativeDifference(*p.slab, *p.whole, B), bound);
    }
  }
}

TEST(DistributedSolves, NewtonsMethodOnTheSlabEqualsTheWholeMeshSolve) {
  // Methods 1 and 3 with multigrid steps agree to rounding.
  for (const int32_t method : {1, 3}) {
    SCOPED_TRACE(testing::Message() << "potential_method=" << method);
    Pair p = build(capacitor(1.0, QE * 1e12), 0.005);
    PotentialSettings settings = potential(method, 200, 1e-2);
    settings.newton_tol = 1e-6;
    const auto whole = potentialSolver(*p.whole, settings, true);
    const auto slab = potentialSolver(*p.slab, settings, true);
    for (int step = 0; step < 2; ++step) {  // the second solve starts from the first's potential
      const Console w = captureConsole([&] { return whole->solve(); });
      const Console s = captureConsole([&] { return slab->solve(); });
      ASSERT_TRUE(w.ok && s.ok) << w.err << s.err;
      EXPECT_EQ(slab->newton_steps, whole->newton_steps);
      expectSameOnAllProcesses(p.slab->part, slab->newton_steps, "Newton steps");
      expectSameOnAllProcesses(p.slab->part, slab->last_residual, "last update");
    }
    const auto phi = [](const World& w, int i, int j, int k) { return w.phi(i, j, k); };
    expectSameSolution(p.slab->part, relativeDifference(*p.slab, *p.whole, phi), 1e-9);
  }
}

TEST(DistributedSolves, NewtonsMethodWithoutMultigridRefusesASlab) {
  Pair p = build(capacitor(1.0, 0.0), 0.005);
  for (const bool multigrid : {false, true}) {
    PotentialSettings settings = potential(1, 100, 1e-3);
    settings.multigrid = multigrid;
    if (p.slab->part.distributed() && !multigrid) {
      try {
        PotentialSolver refused(*p.slab, settings);
        ADD_FAILURE() << "method 1 with conjugate gradients accepted a slab";
      } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("use potential_solver=multigrid"), std::string::npos) << e.what();
      }
    } else {
      EXPECT_NO_THROW(PotentialSolver(*p.slab, settings));
    }
  }
}

}  // namespace
}  // namespace plasmabox
