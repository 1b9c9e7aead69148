#include "solver/ReducedSystem.h"

#include <algorithm>

#include "mesh/largePages.h"
#include "solver/laplaceRow.h"

namespace plasmabox {

namespace {

// Number of box walls node (i, j, k) lies on (0 inside). On a slab of a
// distributed mesh the ghost planes are no walls.
int wallCount(const Grid& g, int i, int j, int k) {
  return (g.i0 + i == 0 || g.i0 + i == g.gni - 1) + (j == 0 || j == g.nj - 1) + (k == 0 || k == g.nk - 1);
}

// The node a wall node copies (the first matching rule: i walls, then j, then
// k), and 1/spacing of that rule.
struct WallRule {
  int i, j, k;
  double inverse_spacing;
};
WallRule wallRule(const Grid& g, int i, int j, int k) {
  const double idx = 1.0 / g.dh.x, idy = 1.0 / g.dh.y, idz = 1.0 / g.dh.z;
  if (g.i0 + i == 0) return {1, j, k, idx};
  if (g.i0 + i == g.gni - 1) return {g.ni - 2, j, k, idx};
  if (j == 0) return {i, 1, k, idy};
  if (j == g.nj - 1) return {i, g.nj - 2, k, idy};
  if (k == 0) return {i, j, 1, idz};
  return {i, j, g.nk - 2, idz};
}

// The interior box as the library sees it: axis 0 is the storage's fastest
// mesh axis (k for node fields, i for unknown vectors), so that building the
// system and writing the solution back both walk memory in order. On a slab
// of a distributed mesh the box holds the interior nodes of the owned planes,
// local planes 1 .. ni-2 either way (a ghost plane or a wall on each side),
// and the library numbers them globally (i0 added along i).
struct BoxAxes {
  bool k_fastest;
  int n[3];  // interior nodes along box axes 0, 1, 2
  int i0;       // global index of local plane 0
  bool shared;  // a slab: the other processes hold the rest of the box

  BoxAxes(const Grid& g, bool k_fastest_) : k_fastest(k_fastest_), i0(g.i0), shared(g.ni != g.gni) {
    n[0] = (k_fastest ? g.nk : g.ni) - 2;
    n[1] = g.nj - 2;
    n[2] = (k_fastest ? g.ni : g.nk) - 2;
  }
  // Mesh indices (i, j, k) of box node (a0, a1, a2), each counted from 1.
  void mesh(int a0, int a1, int a2, int& i, int& j, int& k) const {
    i = k_fastest ? a2 : a0;
    j = a1;
    k = k_fastest ? a0 : a2;
  }
  std::size_t index(int a0, int a1, int a2) const {
    return static_cast<std::size_t>(a0 - 1) +
           static_cast<std::size_t>(n[0]) *
               (static_cast<std::size_t>(a1 - 1) + static_cast<std::size_t>(n[1]) * static_cast<std::size_t>(a2 - 1));
  }
  SevenPointOperator box() const {
    SevenPointOperator op;
    op.lower = {1, 1, 1};
    op.upper = {n[0], n[1], n[2]};
    const std::size_t along_i = k_fastest ? 2 : 0;
    op.lower[along_i] += i0;
    op.upper[along_i] += i0;
    op.shared = shared;
    return op;
  }
};

// Calls fn(i, j, k, q) for every unknown: mesh indices and its place in the
// reduced vectors, in storage order, on `threads` threads (planes of the
// slowest box axis shared out statically).
template <class Fn>
void forEachUnknown(const BoxAxes& box, int threads, Fn fn) {
#pragma omp parallel for num_threads(threads) schedule(static)
  for (int a2 = 1; a2 <= box.n[2]; ++a2)
    for (int a1 = 1; a1 <= box.n[1]; ++a1)
      for (int a0 = 1; a0 <= box.n[0]; ++a0) {
        int i, j, k;
        box.mesh(a0, a1, a2, i, j, k);
        fn(i, j, k, box.index(a0, a1, a2));
      }
}

// The eliminated system from what the equations say node by node:
//   fixed(i,j,k): the node keeps value(i,j,k);
//   offset(i,j,k): for a free wall node, its value minus the node it copies;
//   source(i,j,k), shift(i,j,k): right-hand side and extra diagonal of an
//   interior row in the negated form centre*x - sum(c * neighbour) = source;
//   guess(i,j,k): the initial guess.
// with_operator false: only the right-hand side and the guess (op.values stays
// empty), for a solver that keeps the operator of an earlier solve; then
// plain (when given) marks the rows whose right-hand side is their source
// alone (no held and no wall neighbour), which take it without the tests.
// The rows are independent: planes of box axis 2 go to the threads.
template <class Fixed, class Value, class Offset, class Source, class Shift, class Guess>
void reduceInto(ReducedSystem& s, const Grid& g, const BoxAxes& box, Fixed fixed, Value value, Offset offset,
                Source source, Shift shift, Guess guess, bool with_operator, const std::vector<uint8_t>* plain,
                int threads) {
  s.op = box.box();
  const std::size_t n = s.op.nodes();
  if (with_operator) assignLarge(s.op.values, 4 * n, 0.0);
  if (s.rhs.size() != n) assignLarge(s.rhs, n, 0.0);
  if (s.x.size() != n) assignLarge(s.x, n, 0.0);
  const uint8_t* const plain_rows = plain && plain->size() == n ? plain->data() : nullptr;
  const double c[3] = {1.0 / (g.dh.x * g.dh.x), 1.0 / (g.dh.y * g.dh.y), 1.0 / (g.dh.z * g.dh.z)};
  // The six neighbours (mesh steps and mesh axis); the lower neighbour along
  // box axis a is stored as coupling 1 + a.
  const int step[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  const int stored_as[6] = {box.k_fastest ? 3 : 1, 0, 2, 0, box.k_fastest ? 1 : 3, 0};  // 0: implied by symmetry
  forEachUnknown(box, threads, [&](int i, int j, int k, std::size_t q) {
    if (plain_rows && plain_rows[q]) {
      s.rhs[q] = source(i, j, k);
      s.x[q] = guess(i, j, k);
      return;
    }
    double scratch[4] = {0.0, 0.0, 0.0, 0.0};
    double* a = with_operator ? &s.op.values[4 * q] : scratch;
    if (fixed(i, j, k)) {
      a[0] = 1.0;
      s.rhs[q] = s.x[q] = value(i, j, k);
      return;
    }
    double centre = 2.0 * (c[0] + c[1] + c[2]) + shift(i, j, k);
    double rhs = source(i, j, k);
    for (int e = 0; e < 6; ++e) {
      const int a_i = i + step[e][0], a_j = j + step[e][1], a_k = k + step[e][2];
      const double coupling = c[e / 2];
      if (fixed(a_i, a_j, a_k)) {
        rhs += coupling * value(a_i, a_j, a_k);
      } else if (wallCount(g, a_i, a_j, a_k) > 0) {  // the wall node copies (i, j, k) itself, plus its offset
        centre -= coupling;
        rhs += coupling * offset(a_i, a_j, a_k);
      } else if (stored_as[e] != 0) {
        a[stored_as[e]] = -coupling;
      }
    }
    a[0] = centre;
    s.rhs[q] = rhs;
    s.x[q] = guess(i, j, k);
  });
}

template <class Fixed, class Value, class Offset, class Source, class Shift, class Guess>
ReducedSystem reduce(const Grid& g, const BoxAxes& box, Fixed fixed, Value value, Offset offset, Source source,
                     Shift shift, Guess guess, bool with_operator, int threads) {
  ReducedSystem s;
  reduceInto(s, g, box, fixed, value, offset, source, shift, guess, with_operator, nullptr, threads);
  return s;
}

// Fills every node from the solution: interior nodes from s.x (fixed ones from
// value), wall nodes on one, then two, then three walls from the node they copy
// (which lies on one wall fewer, so the order within a pass is free) plus their
// offset. corner(i,j,k) marks nodes set to 0 whatever their rule.
template <class Fixed, class Value, class Offset, class Corner, class Read, class Write>
void fillAll(const ReducedSystem& s, const Grid& g, const BoxAxes& box, Fixed fixed, Value value, Offset offset,
             Corner corner, Read read, Write write, int threads) {
  forEachUnknown(box, threads,
                 [&](int i, int j, int k, std::size_t q) { write(i, j, k, fixed(i, j, k) ? value(i, j, k) : s.x[q]); });
  const int last[3] = {box.n[0] + 1, box.n[1] + 1, box.n[2] + 1};
  for (int walls = 1; walls <= 3; ++walls)
    for (int a2 = 0; a2 <= last[2]; ++a2)
      for (int a1 = 0; a1 <= last[1]; ++a1) {
        // Inside the box only the two ends of a line lie on a wall.
        const bool whole_line = a2 == 0 || a2 == last[2] || a1 == 0 || a1 == last[1];
        for (int a0 = 0; a0 <= last[0]; a0 = whole_line || a0 == last[0] ? a0 + 1 : last[0]) {
          int i, j, k;
          box.mesh(a0, a1, a2, i, j, k);
          if (wallCount(g, i, j, k) != walls || i < g.ownedBegin() || i >= g.ownedEnd()) continue;
          if (corner(i, j, k)) {
            write(i, j, k, 0.0);
          } else if (fixed(i, j, k)) {
            write(i, j, k, value(i, j, k));
          } else {
            const WallRule r = wallRule(g, i, j, k);
            write(i, j, k, read(r.i, r.j, r.k) + offset(i, j, k));
          }
        }
      }
}

}  // namespace

namespace {

// The Poisson system's rows, node by node (see poissonSystem), handed to fn.
template <class Fn>
void withPoissonRows(const World& world, const std::vector<double>& source, bool grounded, bool hold_first, Fn fn) {
  const Grid& g = world.grid;
  auto first = [&](int i, int j, int k) { return hold_first && g.i0 + i == 1 && j == 1 && k == 1; };
  auto fixed = [&](int i, int j, int k) {
    return world.object_id(i, j, k) > 0 || (grounded && wallCount(g, i, j, k) > 0) || first(i, j, k);
  };
  auto value = [&](int i, int j, int k) { return world.object_id(i, j, k) > 0 ? world.phi(i, j, k) : 0.0; };
  auto zero = [](int, int, int) { return 0.0; };
  auto src = [&](int i, int j, int k) { return source[world.phi.index(i, j, k)]; };
  auto guess = [&](int i, int j, int k) { return world.phi(i, j, k); };
  fn(fixed, value, zero, src, guess);
}

}  // namespace

ReducedSystem poissonSystem(const World& world, const std::vector<double>& source, bool grounded, bool hold_first,
                            bool with_operator, int threads) {
  ReducedSystem s;
  withPoissonRows(world, source, grounded, hold_first, [&](auto fixed, auto value, auto zero, auto src, auto guess) {
    reduceInto(s, world.grid, BoxAxes(world.grid, true), fixed, value, zero, src, zero, guess, with_operator, nullptr,
               threads);
  });
  return s;
}

std::vector<uint8_t> plainPoissonRows(const World& world, bool grounded, bool hold_first) {
  const Grid& g = world.grid;
  const BoxAxes box(g, true);
  std::vector<uint8_t> plain(box.box().nodes(), 0);
  const std::vector<double> none;
  withPoissonRows(world, none, grounded, hold_first, [&](auto fixed, auto, auto, auto, auto) {
    const int step[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    forEachUnknown(box, 1, [&](int i, int j, int k, std::size_t q) {
      bool alone = !fixed(i, j, k);
      for (int e = 0; e < 6 && alone; ++e) {
        const int a_i = i + step[e][0], a_j = j + step[e][1], a_k = k + step[e][2];
        alone = !fixed(a_i, a_j, a_k) && wallCount(g, a_i, a_j, a_k) == 0;
      }
      plain[q] = alone ? 1 : 0;
    });
  });
  return plain;
}

void updatePoissonSystem(ReducedSystem& s, const std::vector<uint8_t>& plain, const World& world,
                         const std::vector<double>& source, bool grounded, bool hold_first, int threads) {
  withPoissonRows(world, source, grounded, hold_first, [&](auto fixed, auto value, auto zero, auto src, auto guess) {
    reduceInto(s, world.grid, BoxAxes(world.grid, true), fixed, value, zero, src, zero, guess, false, &plain,
               threads);
  });
}

void fillPotential(const ReducedSystem& s, World& world, bool grounded, bool hold_first, int threads) {
  const Grid& g = world.grid;
  Field& phi = world.phi;
  auto fixed = [&](int i, int j, int k) {
    return world.object_id(i, j, k) > 0 || (grounded && wallCount(g, i, j, k) > 0) ||
           (hold_first && g.i0 + i == 1 && j == 1 && k == 1);
  };
  auto value = [&](int i, int j, int k) { return world.object_id(i, j, k) > 0 ? phi(i, j, k) : 0.0; };
  auto read = [&](int i, int j, int k) { return phi(i, j, k); };
  auto zero = [](int, int, int) { return 0.0; };
  auto corner = [&](int i, int j, int k) {
    return (g.i0 + i == 0 && j == 0 && k == 0) || (g.i0 + i == g.gni - 1 && j == g.nj - 1 && k == g.nk - 1);
  };
  fillAll(
      s, g, BoxAxes(g, true), fixed, value, zero, corner, read, [&](int i, int j, int k, double v) { phi(i, j, k) = v; },
      threads);
}

ReducedSystem laplaceSystem(const Grid& g, const std::vector<int32_t>& node_type, const DenseVector& b,
                            const DenseVector* shift, const DenseVector& x, int threads) {
  auto u = [&](int i, int j, int k) { return unknownIndex(i, j, k, g.ni, g.nj); };
  auto fixed = [&](int i, int j, int k) { return node_type[u(i, j, k)] == NODE_FIXED; };
  auto value = [&](int i, int j, int k) { return b[u(i, j, k)]; };
  auto offset = [&](int i, int j, int k) { return b[u(i, j, k)] / wallRule(g, i, j, k).inverse_spacing; };
  // Interior rows say Laplacian(x) - shift x = b: negated, the source is -b.
  auto source = [&](int i, int j, int k) { return -b[u(i, j, k)]; };
  auto extra = [&](int i, int j, int k) { return shift ? (*shift)[u(i, j, k)] : 0.0; };
  auto guess = [&](int i, int j, int k) { return x[u(i, j, k)]; };
  return reduce(g, BoxAxes(g, false), fixed, value, offset, source, extra, guess, true, threads);
}

void fillLaplace(const ReducedSystem& s, const Grid& g, const std::vector<int32_t>& node_type, const DenseVector& b,
                 DenseVector& x, int threads) {
  auto u = [&](int i, int j, int k) { return unknownIndex(i, j, k, g.ni, g.nj); };
  auto fixed = [&](int i, int j, int k) { return node_type[u(i, j, k)] == NODE_FIXED; };
  auto value = [&](int i, int j, int k) { return b[u(i, j, k)]; };
  auto offset = [&](int i, int j, int k) { return b[u(i, j, k)] / wallRule(g, i, j, k).inverse_spacing; };
  auto never = [](int, int, int) { return false; };
  auto read = [&](int i, int j, int k) { return x[u(i, j, k)]; };
  fillAll(
      s, g, BoxAxes(g, false), fixed, value, offset, never, read,
      [&](int i, int j, int k, double v) { x[u(i, j, k)] = v; }, threads);
}

}  // namespace plasmabox
