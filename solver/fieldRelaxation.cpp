// The two relaxation solvers that work on world.phi directly instead of the
// assembled matrix, and the multigrid solve of the same linear system. They
// apply the same boundary rules as the assembly: object nodes keep their
// potential, wall nodes copy their inner neighbour (the zero-normal-gradient
// row solved exactly) or, with grounded walls, stay at 0 V, interior nodes
// relax towards the seven-point Poisson update.

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <vector>

#include "mesh/constants.h"
#include "mesh/ghostPlanes.h"
#include "mesh/processReduction.h"
#include "solver/PotentialSolver.h"
#include "solver/borderReads.h"
#include "solver/gaussSeidel.h"
#include "solver/multigridSolve.h"
#include "solver/relaxationSweeps.h"
#include "solver/solverSupport.h"
#include "solver/wavefront.h"

namespace plasmabox {

namespace {

// Strides and inverse squared spacings of the node mesh (field storage: k fastest).
// On a slab of a distributed mesh the sweeps and residuals visit the planes
// this process owns, [own_lo, own_hi); a plane 0 or ni-1 among them is a wall
// of the box, so the wall rules below hold there and nowhere else.
struct Stencil {
  int ni, nj, nk;
  int own_lo, own_hi;       // owned planes along i
  std::size_t si, sj;       // index steps along i and j (the k step is 1)
  double idx2, idy2, idz2;  // 1/m^2
  double D;                 // 2*idx2 + 2*idy2 + 2*idz2, 1/m^2

  explicit Stencil(const Grid& g)
      : ni(g.ni),
        nj(g.nj),
        nk(g.nk),
        own_lo(g.ownedBegin()),
        own_hi(g.ownedEnd()),
        si(static_cast<std::size_t>(g.nj) * static_cast<std::size_t>(g.nk)),
        sj(static_cast<std::size_t>(g.nk)),
        idx2(1.0 / (g.dh.x * g.dh.x)),
        idy2(1.0 / (g.dh.y * g.dh.y)),
        idz2(1.0 / (g.dh.z * g.dh.z)),
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

// Residual of node n whose inner neighbour is m (m == n inside): the wall
// difference phi[n] - phi[m], or s - phi*D plus the three neighbour pairs, where
// s is the node's source term (charge, and electrons where they are modelled).
inline double nodeResidual(const Stencil& g, const double* phi, std::size_t n, std::size_t m, double s) {
  if (m != n) return phi[n] - phi[m];
  return (s - phi[n] * g.D) + (phi[n - g.si] + phi[n + g.si]) * g.idx2 +
         (phi[n - g.sj] + phi[n + g.sj]) * g.idy2 + (phi[n - 1] + phi[n + 1]) * g.idz2;
}

// Sum over the free nodes of the squared residual of the linear Poisson
// equation; wall nodes contribute their difference to the inner neighbour.
// Owned nodes only (their neighbours in ghost planes as last exchanged): the
// caller sums the processes' parts.
// Object nodes and the two corners that the sweep pins to 0 V are left out:
// no sweep changes them, and measuring a pinned corner by its wall rule would
// keep the residual above the difference to its neighbour however long the
// solve ran. Each plane is summed on one thread and the plane sums are added
// in plane order, so the result is the same for any team.
double poissonResidualSum(const Stencil& g, const double* phi, const double* source, const int32_t* obj,
                          bool grounded, std::vector<double>& plane_sums, int threads) {
  plane_sums.assign(static_cast<std::size_t>(g.ni), 0.0);
  const std::size_t last = g.at(g.ni - 1, g.nj - 1, g.nk - 1);
#pragma omp parallel for schedule(static) num_threads(threads)
  for (int i = g.own_lo; i < g.own_hi; ++i) {
    double sum = 0.0;
    for (int j = 0; j < g.nj; ++j)
      for (int k = 0; k < g.nk; ++k) {
        const std::size_t n = g.at(i, j, k);
        if (obj[n] > 0 || n == 0 || n == last) continue;
        const std::size_t m = g.innerNeighbour(i, j, k, n);
        if (grounded && m != n) continue;  // a grounded wall node is held, like an object node
        const double r = nodeResidual(g, phi, n, m, source[n]);
        sum += r * r;
      }
    plane_sums[static_cast<std::size_t>(i)] = sum;
  }
  double sum = 0.0;
  for (double s : plane_sums) sum += s;
  return sum;
}

// The data one linear Poisson sweep works on. Reads of other nodes go through
// a reader (see solver/borderReads.h); writes go straight to phi, each node
// being written by the one thread that owns it.
struct PoissonSweep {
  Stencil g;
  double* phi;
  const double* source;  // rho / EPS_0, V/m^2
  const int32_t* obj;
  double factor;  // over-relaxation
  bool grounded;  // walls held at 0 V

  // Relaxes node n = (i, j, k) of an interior line (0 < i < ni-1, 0 < j < nj-1)
  // by the rules of the sweep: object kept, k walls copied, interior update.
  template <class Read>
  void relaxInteriorNode(const Read& read, std::size_t n, int k) const {
    if (obj[n] > 0) return;
    if (k == 0) {
      phi[n] = grounded ? 0.0 : read(n + 1);
      return;
    }
    if (k == g.nk - 1) {
      phi[n] = grounded ? 0.0 : read(n - 1);
      return;
    }
    const double p = (((read(n - g.si) + read(n + g.si)) * g.idx2 + source[n]) +
                      (read(n - g.sj) + read(n + g.sj)) * g.idy2 + (read(n - 1) + read(n + 1)) * g.idz2) /
                     g.D;
    const double old = phi[n];
    phi[n] = old + factor * (p - old);
  }

  // Relaxes nodes (i, j, k0 .. k1-1) of one line in increasing k by the rules
  // of the sweep, the first matching rule per node: pinned corner, object, wall
  // copy (i, then j, then k walls), interior update.
  template <class Read>
  void relaxLine(const Read& read, int i, int j, int k0, int k1) const {
    const std::size_t base = g.at(i, j, 0);
    const bool wall_line = i == 0 || i == g.ni - 1 || j == 0 || j == g.nj - 1;
    if (wall_line && grounded) {
      for (int k = k0; k < k1; ++k)
        if (obj[base + static_cast<std::size_t>(k)] <= 0) phi[base + static_cast<std::size_t>(k)] = 0.0;
      return;
    }
    if (wall_line) {
      // Every node copies along i or j; only the two corners are special.
      const std::size_t from =
          i == 0 ? base + g.si : i == g.ni - 1 ? base - g.si : j == 0 ? base + g.sj : base - g.sj;
      for (int k = k0; k < k1; ++k) {
        const std::size_t n = base + static_cast<std::size_t>(k);
        if ((i == g.ni - 1 && j == g.nj - 1 && k == g.nk - 1) || (i == 0 && j == 0 && k == 0)) {
          phi[n] = 0.0;
          continue;
        }
        if (obj[n] > 0) continue;
        phi[n] = read(from + static_cast<std::size_t>(k));
      }
      return;
    }
    for (int k = k0; k < k1; ++k) relaxInteriorNode(read, base + static_cast<std::size_t>(k), k);
  }

  // Relaxes the count complete interior lines (i, j) .. (i, j + count - 1) of
  // one plane as a wavefront along k: each node reads its j-1 and k-1
  // neighbours relaxed and its j+1 and k+1 ones not yet, as line by line.
  template <class Read>
  void relaxLinesWavefront(const Read& read, int i, int j, int count) const {
    const std::size_t base = g.at(i, j, 0);
    visitWavefront(g.nk, count, [&](int m, int k) {
      relaxInteriorNode(read, base + static_cast<std::size_t>(m) * g.sj + static_cast<std::size_t>(k), k);
    });
  }

  // Relaxes the nodes begin .. end-1 of the collapsed index n = i*nj*nk + j*nk + k
  // in increasing n, line by line, complete interior lines of a plane as wavefronts.
  template <class Read>
  void relaxRange(const Read& read, std::size_t begin, std::size_t end) const {
    if (begin >= end) return;
    int i = static_cast<int>(begin / g.si);
    int j = static_cast<int>((begin % g.si) / g.sj);
    int k = static_cast<int>(begin % g.sj);
    std::size_t n = begin;
    while (n < end) {
      const std::size_t left = end - n;
      if (k == 0 && i > 0 && i < g.ni - 1 && j > 0 && j < g.nj - 1 && left >= g.sj) {
        int count = 1;
        while (count < WAVEFRONT_LINES && j + count < g.nj - 1 &&
               left >= static_cast<std::size_t>(count + 1) * g.sj)
          ++count;
        relaxLinesWavefront(read, i, j, count);
        n += static_cast<std::size_t>(count) * g.sj;
        j += count;
        if (j == g.nj) {
          j = 0;
          ++i;
        }
        continue;
      }
      const int k1 = left < static_cast<std::size_t>(g.nk - k) ? k + static_cast<int>(left) : g.nk;
      relaxLine(read, i, j, k, k1);
      n += static_cast<std::size_t>(k1 - k);
      k = 0;
      if (++j == g.nj) {
        j = 0;
        ++i;
      }
    }
  }
};

}  // namespace

void poissonSourceInto(const World& world, std::vector<double>& source) {
  source.resize(world.rho.size());
  const double* rho = world.rho.data.data();
  for (std::size_t n = 0; n < source.size(); ++n) source[n] = rho[n] / EPS_0;
}

std::vector<double> poissonSource(const World& world) {
  std::vector<double> source;
  poissonSourceInto(world, source);
  return source;
}

void sweepSORParallel(World& world, const std::vector<double>& source, double factor, bool grounded, int threads,
                      BorderCopies& borders) {
  const PoissonSweep sweep{Stencil(world.grid), world.phi.data.data(), source.data(), world.object_id.data.data(),
                           factor, grounded};
  const std::size_t total = world.phi.size();
  const std::size_t first = static_cast<std::size_t>(sweep.g.own_lo) * sweep.g.si;
  const std::size_t last = static_cast<std::size_t>(sweep.g.own_hi) * sweep.g.si;
  borders.reserveFor(threads, sweep.g.si);  // a node reaches at most one plane away
#pragma omp parallel num_threads(threads)
  relaxBlockWithBorders(sweep.phi, first, last, total, sweep.g.si, omp_get_num_threads(), omp_get_thread_num(),
                        borders,
                        [&](const auto& read, std::size_t lo, std::size_t hi) { sweep.relaxRange(read, lo, hi); });
}

namespace {

// The free nodes' source with its mean over the interior nodes of the whole
// mesh removed: the zero-gradient system without any held node is solvable
// only then. Each process sums its own interior planes.
void removeInteriorMean(std::vector<double>& source, const Grid& g, const Decomposition& part) {
  double sum = 0.0;
  for (int i = std::max(1, g.ownedBegin()); i < std::min(g.ni - 1, g.ownedEnd()); ++i)
    for (int j = 1; j < g.nj - 1; ++j)
      for (int k = 1; k < g.nk - 1; ++k) sum += source[g.node_vol.index(i, j, k)];
  sum = sumOverProcesses(part, sum);
  const double mean = sum / (static_cast<double>(g.gni - 2) * (g.nj - 2) * (g.nk - 2));
  for (double& s : source) s -= mean;
}

// Shifts the potential to mean 0 over the nodes of the whole mesh other than
// the two corners the relaxation pins at 0 V (no equation reads them; they
// stay at 0 V). Ghost planes move with their owners' nodes.
void shiftToZeroMean(Field& phi, const Grid& g, const Decomposition& part) {
  const std::size_t n = phi.size();
  if (n < 3) return;
  const std::size_t plane = static_cast<std::size_t>(g.nj) * static_cast<std::size_t>(g.nk);
  // The corners are the first and last stored values of the slabs holding them.
  const std::size_t lo = g.wallBelow() ? 1 : static_cast<std::size_t>(g.ownedBegin()) * plane;
  const std::size_t hi = g.wallAbove() ? n - 1 : static_cast<std::size_t>(g.ownedEnd()) * plane;
  double sum = 0.0;
  for (std::size_t q = lo; q < hi; ++q) sum += phi.data[q];
  sum = sumOverProcesses(part, sum);
  const double mean = sum / (static_cast<double>(g.gni) * static_cast<double>(plane) - 2.0);
  const std::size_t first = g.wallBelow() ? 1 : 0, end = g.wallAbove() ? n - 1 : n;
  for (std::size_t q = first; q < end; ++q) phi.data[q] -= mean;
}

}  // namespace

bool PotentialSolver::zeroMeanSystem() {
  if (!settings.zero_mean_when_singular || settings.grounded_walls) return false;
  bool held = false;
  for (int32_t id : world.object_id.data)
    if (id > 0) {
      held = true;
      break;
    }
  if (anyProcess(world.part, held)) return false;
  if (!said_zero_mean_)
    std::cerr << "warning: no object holds the potential and the walls have a zero normal gradient: the potential "
                 "is fixed only up to a constant; solving with the mean charge removed, for a potential of zero mean"
              << std::endl;
  said_zero_mean_ = true;
  return true;
}

bool PotentialSolver::solveSORParallel() {
  if (!settings.quiet) std::cout << "potential solve" << std::endl;
  const Decomposition& part = world.part;
  const Stencil g(world.grid);
  const double* phi = world.phi.data.data();
  const int32_t* obj = world.object_id.data.data();
  const double nodes = world.grid.wholeNodeCount();
  const uint32_t limit = iterationLimit(settings.max_it);
  // rho / eps0 does not change during the solve: divided once here instead of
  // at every node of every sweep (the same quotient either way).
  std::vector<double> source = poissonSource(world);
  const bool zero_mean = zeroMeanSystem();
  if (zero_mean) removeInteriorMean(source, world.grid, part);
  BorderCopies borders;
  std::vector<double> plane_sums;

  // Every sweep reads the neighbours' border planes as they stood before it;
  // a residual check needs them as they stand after it.
  bool ghosts_current = false;
  double R = 0.0;
  bool converged = false;
  uint32_t it = 0;
  while (it < limit && !converged) {
    if (!ghosts_current) exchangeGhostPlanes(part, world.phi);
    sweepSORParallel(world, source, settings.sor_factor, settings.grounded_walls, settings.threads, borders);
    ghosts_current = false;
    if (it % static_cast<uint32_t>(settings.check_interval) == 0) {
      exchangeGhostPlanes(part, world.phi);
      ghosts_current = true;
      const double sum = poissonResidualSum(g, phi, source.data(), obj, settings.grounded_walls, plane_sums,
                                            settings.threads);
      R = std::sqrt(sumOverProcesses(part, sum) / nodes);
      converged = settings.quiet ? settings.tol > R : reportResidual(R, settings.tol);
    }
    ++it;
  }
  if (!ghosts_current) exchangeGhostPlanes(part, world.phi);
  if (zero_mean) shiftToZeroMean(world.phi, world.grid, part);
  last_iterations = it;
  last_residual = R;
  if (!converged) reportGSFailure(R);
  return converged;
}

void PotentialSolver::extrapolateGuess() {
  // Before the first solve phi holds no solution, so nothing is kept.
  if (solves_ == 0) {
    ++solves_;
    return;
  }
  ++solves_;
  double* const phi = world.phi.data.data();
  const int32_t* const obj = world.object_id.data.data();
  const std::size_t n = world.phi.size();
  const bool extrapolate = older_phi_.size() == n;
  older_phi_.resize(n);
  double* const older = older_phi_.data();
  for (std::size_t q = 0; q < n; ++q) {
    if (obj[q] > 0) continue;  // held: its value is the object's potential
    const double now = phi[q];
    if (extrapolate) phi[q] = now + (now - older[q]);
    older[q] = now;
  }
}

bool PotentialSolver::solveMultigrid() {
  if (!settings.quiet) std::cout << "potential solve" << std::endl;
  last_iterations = 0;
  last_residual = 0.0;
  if (settings.max_it <= 0) {
    reportGSFailure(0.0);
    return false;
  }
  const Decomposition& part = world.part;
  const Stencil g(world.grid);
  std::vector<double>& source = source_;
  poissonSourceInto(world, source);
  const bool zero_mean = zeroMeanSystem();
  if (zero_mean) removeInteriorMean(source, world.grid, part);
  // Held nodes in the neighbours' border planes enter this slab's equations
  // with their potential; the guess is read there too.
  if (!multigrid_) exchangeGhostPlanes(part, world.object_id);
  extrapolateGuess();
  exchangeGhostPlanes(part, world.phi);
  // The objects and the mesh do not change between solves: the operator, and
  // the multigrid hierarchy built from it, are made at the first solve only;
  // later solves give the system a new right-hand side and guess, most rows
  // straight from the source.
  ReducedSystem& s = system_;
  if (!multigrid_) {
    s = poissonSystem(world, source, settings.grounded_walls, zero_mean, true, settings.threads);
    multigrid_ = std::make_unique<StructMultigrid>(s.op);
    std::vector<double>().swap(s.op.values);  // the library keeps its own copy
    plain_rows_ = plainPoissonRows(world, settings.grounded_walls, zero_mean);
  } else {
    updatePoissonSystem(s, plain_rows_, world, source, settings.grounded_walls, zero_mean, settings.threads);
  }
  std::vector<double>& plane_sums = plane_sums_;
  const double nodes = world.grid.wholeNodeCount();
  const MultigridRun run = solveToTolerance(
      *multigrid_, s, settings.tol, std::sqrt(nodes), settings.max_it,
      [&] {
        fillPotential(s, world, settings.grounded_walls, zero_mean, settings.threads);
        exchangeGhostPlanes(part, world.phi);
        if (zero_mean) shiftToZeroMean(world.phi, world.grid, part);  // the residual does not see a constant
        const double sum = poissonResidualSum(g, world.phi.data.data(), source.data(), world.object_id.data.data(),
                                              settings.grounded_walls, plane_sums, settings.threads);
        return std::sqrt(sumOverProcesses(part, sum) / nodes);
      },
      !settings.quiet);
  last_iterations = run.iterations;
  last_residual = run.R;
  if (!run.converged) reportGSFailure(run.R);
  return run.converged;
}

bool PotentialSolver::solveSORBoltzmann() {
  if (!settings.quiet) std::cout << "potential solve" << std::endl;
  const bool grounded = settings.grounded_walls;
  const Decomposition& part = world.part;
  const Stencil g(world.grid);
  double* phi = world.phi.data.data();
  const double* rho = world.rho.data.data();
  const int32_t* obj = world.object_id.data.data();
  const double nodes = world.grid.wholeNodeCount();
  const uint32_t limit = iterationLimit(settings.max_it);
  const double ne0 = settings.ne0, phi0 = settings.phi0, kTe = settings.kTe, factor = settings.boltzmann_sor_factor;

  // Right-hand side with Boltzmann electrons at the node's current potential, V/m^2.
  auto source = [&](std::size_t n) {
    return (ne0 * std::exp((phi[n] - phi0) / kTe) * (-QE) + rho[n]) / EPS_0;
  };

  // Ghost planes: as in solveSORParallel, read as they stood before the
  // sweep, exchanged again for a residual check and at the end.
  double R = 0.0;
  for (uint32_t it = 0; it < limit; ++it) {
    exchangeGhostPlanes(part, world.phi);
    for (int i = g.own_lo; i < g.own_hi; ++i)
      for (int j = 0; j < g.nj; ++j)
        for (int k = 0; k < g.nk; ++k) {
          const std::size_t n = g.at(i, j, k);
          if (obj[n] > 0) continue;
          const std::size_t m = g.innerNeighbour(i, j, k, n);
          if (m != n) {
            phi[n] = grounded ? 0.0 : phi[m];
            continue;
          }
          const double s = source(n);
          const double p = ((phi[n - 1] + phi[n + 1]) * g.idz2 +
                            ((phi[n - g.sj] + phi[n + g.sj]) * g.idy2 +
                             ((phi[n - g.si] + phi[n + g.si]) * g.idx2 + s))) /
                           g.D;
          phi[n] = phi[n] + factor * (p - phi[n]);
        }

    if (it % static_cast<uint32_t>(settings.check_interval) == 0) {
      exchangeGhostPlanes(part, world.phi);
      double sum = 0.0;
      for (int i = g.own_lo; i < g.own_hi; ++i)
        for (int j = 0; j < g.nj; ++j)
          for (int k = 0; k < g.nk; ++k) {
            const std::size_t n = g.at(i, j, k);
            if (obj[n] > 0) continue;
            const std::size_t m = g.innerNeighbour(i, j, k, n);
            if (grounded && m != n) continue;  // held at 0 V
            // The source (Boltzmann electrons) is only evaluated where it is used.
            const double r = nodeResidual(g, phi, n, m, m == n ? source(n) : 0.0);
            sum += r * r;
          }
      R = std::sqrt(sumOverProcesses(part, sum) / nodes);
      last_iterations = it + 1;
      last_residual = R;
      if (settings.quiet ? settings.tol > R : reportResidual(R, settings.tol)) return true;
    }
  }
  exchangeGhostPlanes(part, world.phi);
  last_iterations = limit;
  last_residual = R;
  reportGSFailure(R);
  return false;
}

}  // namespace plasmabox
