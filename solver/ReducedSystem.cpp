#include "solver/ReducedSystem.h"

#include <algorithm>

#include "solver/laplaceRow.h"

namespace plasmabox {

namespace {

// Number of box walls node (i, j, k) lies on (0 inside).
int wallCount(const Grid& g, int i, int j, int k) {
  return (i == 0 || i == g.ni - 1) + (j == 0 || j == g.nj - 1) + (k == 0 || k == g.nk - 1);
}

// The node a wall node copies (the first matching rule: i walls, then j, then
// k), and 1/spacing of that rule.
struct WallRule {
  int i, j, k;
  double inverse_spacing;
};
WallRule wallRule(const Grid& g, int i, int j, int k) {
  const double idx = 1.0 / g.dh.x, idy = 1.0 / g.dh.y, idz = 1.0 / g.dh.z;
  if (i == 0) return {1, j, k, idx};
  if (i == g.ni - 1) return {g.ni - 2, j, k, idx};
  if (j == 0) return {i, 1, k, idy};
  if (j == g.nj - 1) return {i, g.nj - 2, k, idy};
  if (k == 0) return {i, j, 1, idz};
  return {i, j, g.nk - 2, idz};
}

// The eliminated system from what the equations say node by node:
//   fixed(i,j,k): the node keeps value(i,j,k);
//   offset(i,j,k): for a free wall node, its value minus the node it copies;
//   source(i,j,k), shift(i,j,k): right-hand side and extra diagonal of an
//   interior row in the negated form centre*x - sum(c * neighbour) = source;
//   guess(i,j,k): the initial guess.
// with_operator false: only the right-hand side and the guess (op.values stays
// empty), for a solver that keeps the operator of an earlier solve.
template <class Fixed, class Value, class Offset, class Source, class Shift, class Guess>
ReducedSystem reduce(const Grid& g, Fixed fixed, Value value, Offset offset, Source source, Shift shift, Guess guess,
                     bool with_operator = true) {
  ReducedSystem s;
  s.op.lower = {1, 1, 1};
  s.op.upper = {g.ni - 2, g.nj - 2, g.nk - 2};
  const std::size_t n = s.op.nodes();
  double scratch[7];
  if (with_operator) s.op.values.assign(7 * n, 0.0);
  s.rhs.assign(n, 0.0);
  s.x.assign(n, 0.0);
  const double c[3] = {1.0 / (g.dh.x * g.dh.x), 1.0 / (g.dh.y * g.dh.y), 1.0 / (g.dh.z * g.dh.z)};
  for (int k = 1; k <= g.nk - 2; ++k)
    for (int j = 1; j <= g.nj - 2; ++j)
      for (int i = 1; i <= g.ni - 2; ++i) {
        const std::size_t q = boxIndex(g, i, j, k);
        double* a = with_operator ? &s.op.values[7 * q] : scratch;
        if (!with_operator) std::fill(scratch, scratch + 7, 0.0);
        if (fixed(i, j, k)) {
          a[0] = 1.0;
          s.rhs[q] = s.x[q] = value(i, j, k);
          continue;
        }
        double centre = 2.0 * (c[0] + c[1] + c[2]) + shift(i, j, k);
        double rhs = source(i, j, k);
        const int step[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
        for (int e = 0; e < 6; ++e) {
          const int a_i = i + step[e][0], a_j = j + step[e][1], a_k = k + step[e][2];
          const double coupling = c[e / 2];
          const bool wall = wallCount(g, a_i, a_j, a_k) > 0;
          if (fixed(a_i, a_j, a_k)) {
            rhs += coupling * value(a_i, a_j, a_k);
          } else if (wall) {  // the wall node copies (i, j, k) itself, plus its offset
            centre -= coupling;
            rhs += coupling * offset(a_i, a_j, a_k);
          } else {
            a[1 + e] = -coupling;
          }
        }
        a[0] = centre;
        s.rhs[q] = rhs;
        s.x[q] = guess(i, j, k);
      }
  return s;
}

// Fills every node from the solution: interior nodes from s.x (fixed ones from
// value), wall nodes on one, then two, then three walls from the node they copy
// (which lies on one wall fewer) plus their offset. corner(i,j,k) marks nodes
// set to 0 whatever their rule.
template <class Fixed, class Value, class Offset, class Corner, class Read, class Write>
void fillAll(const ReducedSystem& s, const Grid& g, Fixed fixed, Value value, Offset offset, Corner corner, Read read,
             Write write) {
  for (int k = 1; k <= g.nk - 2; ++k)
    for (int j = 1; j <= g.nj - 2; ++j)
      for (int i = 1; i <= g.ni - 2; ++i) write(i, j, k, fixed(i, j, k) ? value(i, j, k) : s.x[boxIndex(g, i, j, k)]);
  for (int walls = 1; walls <= 3; ++walls)
    for (int i = 0; i < g.ni; ++i)
      for (int j = 0; j < g.nj; ++j)
        for (int k = 0; k < g.nk; ++k) {
          if (wallCount(g, i, j, k) != walls) continue;
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

}  // namespace

ReducedSystem poissonSystem(const World& world, const std::vector<double>& source, bool grounded, bool hold_first,
                            bool with_operator) {
  const Grid& g = world.grid;
  auto first = [&](int i, int j, int k) { return hold_first && i == 1 && j == 1 && k == 1; };
  auto fixed = [&](int i, int j, int k) {
    return world.object_id(i, j, k) > 0 || (grounded && wallCount(g, i, j, k) > 0) || first(i, j, k);
  };
  auto value = [&](int i, int j, int k) { return world.object_id(i, j, k) > 0 ? world.phi(i, j, k) : 0.0; };
  auto zero = [](int, int, int) { return 0.0; };
  auto src = [&](int i, int j, int k) { return source[world.phi.index(i, j, k)]; };
  auto guess = [&](int i, int j, int k) { return world.phi(i, j, k); };
  return reduce(g, fixed, value, zero, src, zero, guess, with_operator);
}

void fillPotential(const ReducedSystem& s, World& world, bool grounded, bool hold_first) {
  const Grid& g = world.grid;
  Field& phi = world.phi;
  auto fixed = [&](int i, int j, int k) {
    return world.object_id(i, j, k) > 0 || (grounded && wallCount(g, i, j, k) > 0) ||
           (hold_first && i == 1 && j == 1 && k == 1);
  };
  auto value = [&](int i, int j, int k) { return world.object_id(i, j, k) > 0 ? phi(i, j, k) : 0.0; };
  auto read = [&](int i, int j, int k) { return phi(i, j, k); };
  auto zero = [](int, int, int) { return 0.0; };
  auto corner = [&](int i, int j, int k) {
    return (i == 0 && j == 0 && k == 0) || (i == g.ni - 1 && j == g.nj - 1 && k == g.nk - 1);
  };
  fillAll(s, g, fixed, value, zero, corner, read, [&](int i, int j, int k, double v) { phi(i, j, k) = v; });
}

ReducedSystem laplaceSystem(const Grid& g, const std::vector<int32_t>& node_type, const DenseVector& b,
                            const DenseVector* shift, const DenseVector& x) {
  auto u = [&](int i, int j, int k) { return unknownIndex(i, j, k, g.ni, g.nj); };
  auto fixed = [&](int i, int j, int k) { return node_type[u(i, j, k)] == NODE_FIXED; };
  auto value = [&](int i, int j, int k) { return b[u(i, j, k)]; };
  auto offset = [&](int i, int j, int k) { return b[u(i, j, k)] / wallRule(g, i, j, k).inverse_spacing; };
  // Interior rows say Laplacian(x) - shift x = b: negated, the source is -b.
  auto source = [&](int i, int j, int k) { return -b[u(i, j, k)]; };
  auto extra = [&](int i, int j, int k) { return shift ? (*shift)[u(i, j, k)] : 0.0; };
  auto guess = [&](int i, int j, int k) { return x[u(i, j, k)]; };
  return reduce(g, fixed, value, offset, source, extra, guess);
}

void fillLaplace(const ReducedSystem& s, const Grid& g, const std::vector<int32_t>& node_type, const DenseVector& b,
                 DenseVector& x) {
  auto u = [&](int i, int j, int k) { return unknownIndex(i, j, k, g.ni, g.nj); };
  auto fixed = [&](int i, int j, int k) { return node_type[u(i, j, k)] == NODE_FIXED; };
  auto value = [&](int i, int j, int k) { return b[u(i, j, k)]; };
  auto offset = [&](int i, int j, int k) { return b[u(i, j, k)] / wallRule(g, i, j, k).inverse_spacing; };
  auto never = [](int, int, int) { return false; };
  auto read = [&](int i, int j, int k) { return x[u(i, j, k)]; };
  fillAll(s, g, fixed, value, offset, never, read, [&](int i, int j, int k, double v) { x[u(i, j, k)] = v; });
}

}  // namespace plasmabox
