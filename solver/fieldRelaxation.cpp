// The two relaxation solvers that work on world.phi directly instead of the
// assembled matrix. They apply the same boundary rules as the assembly: object
// nodes keep their potential, wall nodes copy their inner neighbour (the
// zero-normal-gradient row solved exactly), interior nodes relax towards the
// seven-point Poisson update.

#include <cmath>
#include <cstddef>
#include <iostream>

#include "mesh/constants.h"
#include "solver/PotentialSolver.h"
#include "solver/gaussSeidel.h"
#include "solver/solverSupport.h"

namespace {

// Strides and inverse squared spacings of the node mesh (field storage: k fastest).
struct Stencil {
  int ni, nj, nk;
  std::size_t si, sj;       // index steps along i and j (the k step is 1)
  double idx2, idy2, idz2;  // 1/m^2
  double D;                 // 2*idx2 + 2*idy2 + 2*idz2, 1/m^2

  explicit Stencil(const World& w)
      : ni(w.ni),
        nj(w.nj),
        nk(w.nk),
        si(static_cast<std::size_t>(w.nj) * static_cast<std::size_t>(w.nk)),
        sj(static_cast<std::size_t>(w.nk)),
        idx2(1.0 / (w.dh.x * w.dh.x)),
        idy2(1.0 / (w.dh.y * w.dh.y)),
        idz2(1.0 / (w.dh.z * w.dh.z)),
        D(2.0 * idx2 + 2.0 * idy2 + 2.0 * idz2) {}

  std::size_t at(int i, int j, int k) const {
    return static_cast<std::size_t>(i) * si + static_cast<std::size_t>(j) * sj + static_cast<std::size_t>(k);
  }

  // Index of the inner neighbour whose value a wall node copies, by the first
  // matching wall (i, then j, then k); n itself for an interior node.
  std::size_t innerNeighbour(int i, int j, int k, std::size_t n) const {
    if (i == 0) return n + si;
    if (i == ni - 1) return n - si;
    if (j == 0) return n + sj;
    if (j == nj - 1) return n - sj;
    if (k == 0) return n + 1;
    if (k == nk - 1) return n - 1;
    return n;
  }
};

// Sum over the free nodes of the squared residual of the linear Poisson
// equation; wall nodes contribute their difference to the inner neighbour.
// Fixed nodes are left out: objects, and the two corners that the sweep pins
// to 0 V. Measured by its wall rule, a pinned corner would add the potential
// of its neighbour, which no sweep can reduce, so any run whose potential is
// not 0 V next to a corner could never report convergence.
double poissonResidualSum(const Stencil& g, const double* phi, const double* rho, const int32_t* obj) {
  const std::size_t last = g.at(g.ni - 1, g.nj - 1, g.nk - 1);
  double sum = 0.0;
#pragma omp parallel for collapse(3) schedule(static) reduction(+ : sum)
  for (int i = 0; i < g.ni; ++i)
    for (int j = 0; j < g.nj; ++j)
      for (int k = 0; k < g.nk; ++k) {
        const std::size_t n = g.at(i, j, k);
        if (obj[n] > 0 || n == 0 || n == last) continue;
        const std::size_t m = g.innerNeighbour(i, j, k, n);
        double r;
        if (m != n) {
          r = phi[n] - phi[m];
        } else {
          r = rho[n] / EPS_0 - phi[n] * g.D + (phi[n - g.si] + phi[n + g.si]) * g.idx2 +
              (phi[n - g.sj] + phi[n + g.sj]) * g.idy2 + (phi[n - 1] + phi[n + 1]) * g.idz2;
        }
        sum += r * r;
      }
  return sum;
}

}  // namespace

bool PotentialSolver::solveSORParallel() {
  std::cout << "potential solve" << std::endl;
  useWorldThreads(world);
  const Stencil g(world);
  double* phi = world.phi.data.data();
  const double* rho = world.rho.data.data();
  const int32_t* obj = world.object_id.data.data();
  const double nodes = static_cast<double>(world.phi.size());
  const uint32_t limit = iterationLimit(max_it);

  double R = 0.0;
  for (uint32_t it = 0; it < limit; ++it) {
    // In-place sweep without a barrier: at block borders a thread may see a
    // neighbour before or after its update in this sweep, so every access to
    // phi is a relaxed atomic one.
#pragma omp parallel for collapse(3) schedule(static)
    for (int i = 0; i < g.ni; ++i)
      for (int j = 0; j < g.nj; ++j)
        for (int k = 0; k < g.nk; ++k) {
          const std::size_t n = g.at(i, j, k);
          // The two far corners are held at 0 V, even inside an object: they
          // fix the constant that the all-Neumann walls leave free.
          if ((i == g.ni - 1 && j == g.nj - 1 && k == g.nk - 1) || (i == 0 && j == 0 && k == 0)) {
            storeRelaxed(phi[n], 0.0);
            continue;
          }
          if (obj[n] > 0) continue;
          const std::size_t m = g.innerNeighbour(i, j, k, n);
          if (m != n) {
            storeRelaxed(phi[n], loadRelaxed(phi[m]));
            continue;
          }
          const double p = (((loadRelaxed(phi[n - g.si]) + loadRelaxed(phi[n + g.si])) * g.idx2 + rho[n] / EPS_0) +
                            (loadRelaxed(phi[n - g.sj]) + loadRelaxed(phi[n + g.sj])) * g.idy2 +
                            (loadRelaxed(phi[n - 1]) + loadRelaxed(phi[n + 1])) * g.idz2) /
                           g.D;
          const double old = loadRelaxed(phi[n]);
          storeRelaxed(phi[n], old + 1.8 * (p - old));
        }

    if (it % 25 == 0) {
      R = std::sqrt(poissonResidualSum(g, phi, rho, obj) / nodes);
      if (reportResidual(R, tol)) return true;
    }
  }
  reportGSFailure(R);
  return false;
}

bool PotentialSolver::solveSORBoltzmann() {
  std::cout << "potential solve" << std::endl;
  const Stencil g(world);
  double* phi = world.phi.data.data();
  const double* rho = world.rho.data.data();
  const int32_t* obj = world.object_id.data.data();
  const double nodes = static_cast<double>(world.phi.size());
  const uint32_t limit = iterationLimit(max_it);

  // Right-hand side with Boltzmann electrons at the node's current potential, V/m^2.
  auto source = [&](std::size_t n) {
    return (ne0 * std::exp((phi[n] - phi0) / kTe) * (-QE) + rho[n]) / EPS_0;
  };

  double R = 0.0;
  for (uint32_t it = 0; it < limit; ++it) {
    for (int i = 0; i < g.ni; ++i)
      for (int j = 0; j < g.nj; ++j)
        for (int k = 0; k < g.nk; ++k) {
          const std::size_t n = g.at(i, j, k);
          if (obj[n] > 0) continue;
          const std::size_t m = g.innerNeighbour(i, j, k, n);
          if (m != n) {
            phi[n] = phi[m];
            continue;
          }
          const double s = source(n);
          const double p = ((phi[n - 1] + phi[n + 1]) * g.idz2 +
                            ((phi[n - g.sj] + phi[n + g.sj]) * g.idy2 + ((phi[n - g.si] + phi[n + g.si]) * g.idx2 + s))) /
                           g.D;
          phi[n] = phi[n] + 1.4 * (p - phi[n]);
        }

    if (it % 25 == 0) {
      double sum = 0.0;
      for (int i = 0; i < g.ni; ++i)
        for (int j = 0; j < g.nj; ++j)
          for (int k = 0; k < g.nk; ++k) {
            const std::size_t n = g.at(i, j, k);
            if (obj[n] > 0) continue;
            const std::size_t m = g.innerNeighbour(i, j, k, n);
            double r;
            if (m != n) {
              r = phi[n] - phi[m];
            } else {
              r = (source(n) - phi[n] * g.D) + (phi[n - g.si] + phi[n + g.si]) * g.idx2 +
                  (phi[n - g.sj] + phi[n + g.sj]) * g.idy2 + (phi[n - 1] + phi[n + 1]) * g.idz2;
            }
            sum += r * r;
          }
      R = std::sqrt(sum / nodes);
      if (reportResidual(R, tol)) return true;
    }
  }
  reportGSFailure(R);
  return false;
}
