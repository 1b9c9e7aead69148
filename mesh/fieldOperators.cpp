#include "mesh/fieldOperators.h"

#include <algorithm>
#include <vector>

#include "mesh/constants.h"
#include "mesh/ghostPlanes.h"

namespace plasmabox {

namespace {

// 1/(F/m): the current term of Ampere's law is divided by the permittivity.
constexpr double INV_EPS_0 = 1.0 / EPS_0;

// Which difference rule a node index gets along one axis.
enum class Rule { LOWER_WALL, INTERIOR, UPPER_WALL, PAIR, NONE };

Rule ruleAt(int q, int n) {
  if (n < 2) return Rule::NONE;
  if (n == 2) return Rule::PAIR;
  if (q == 0) return Rule::LOWER_WALL;
  if (q == n - 1) return Rule::UPPER_WALL;
  return Rule::INTERIOR;
}

// Minus the derivative across lines along i or j, written into component C of
// the nk values of out. a, b, c are the lines the rule needs:
//   LOWER_WALL: q = 0, 1, 2; UPPER_WALL: q = n-3, n-2, n-1;
//   INTERIOR: a = q-1, c = q+1; PAIR: a = 0, b = 1.
template <double Vec3::*C>
void minusDerivativeAcrossLines(Rule rule, const double* a, const double* b, const double* c,
                                double h, Vec3* out, int nk) {
  const double two_h = 2.0 * h;
  switch (rule) {
    case Rule::LOWER_WALL:
      for (int k = 0; k < nk; ++k) out[k].*C = -(-3.0 * a[k] + 4.0 * b[k] - c[k]) / two_h;
      break;
    case Rule::UPPER_WALL:
      for (int k = 0; k < nk; ++k) out[k].*C = -(a[k] - 4.0 * b[k] + 3.0 * c[k]) / two_h;
      break;
    case Rule::INTERIOR:
      for (int k = 0; k < nk; ++k) out[k].*C = -(c[k] - a[k]) / two_h;
      break;
    case Rule::PAIR:
      for (int k = 0; k < nk; ++k) out[k].*C = -(b[k] - a[k]) / h;
      break;
    case Rule::NONE:
      for (int k = 0; k < nk; ++k) out[k].*C = 0.0;
      break;
  }
}

// Lines a, b, c for index q on an axis of n nodes, as minusDerivativeAcrossLines expects;
// line(q) returns the line at that index.
template <class LineAt>
void pickLines(Rule rule, int q, int n, LineAt line, const double*& a, const double*& b,
               const double*& c) {
  a = b = c = nullptr;
  switch (rule) {
    case Rule::LOWER_WALL: a = line(0), b = line(1), c = line(2); break;
    case Rule::UPPER_WALL: a = line(n - 3), b = line(n - 2), c = line(n - 1); break;
    case Rule::INTERIOR: a = line(q - 1), c = line(q + 1); break;
    case Rule::PAIR: a = line(0), b = line(1); break;
    case Rule::NONE: break;
  }
}

// Writes minus the gradient of f into out, which has f's counts, at the
// planes grid owns; the rule along x follows the plane's place in the whole
// mesh (a slab's ghost planes are neighbours, not walls).
void minusGradientInto(const Field& f, const Grid& grid, VectorField& out) {
  const int ni = f.ni, nj = f.nj, nk = f.nk;
  if (f.size() == 0) return;
  const Vec3& dh = grid.dh;
  const double two_dz = 2.0 * dh.z;
  for (int i = grid.ownedBegin(); i < grid.ownedEnd(); ++i)
    for (int j = 0; j < nj; ++j) {
      Vec3* o = out.line(i, j);
      const double *a, *b, *c;

      const Rule rx = ruleAt(grid.i0 + i, grid.gni);
      pickLines(rx, i, ni, [&](int q) { return f.line(q, j); }, a, b, c);
      minusDerivativeAcrossLines<&Vec3::x>(rx, a, b, c, dh.x, o, nk);

      const Rule ry = ruleAt(j, nj);
      pickLines(ry, j, nj, [&](int q) { return f.line(i, q); }, a, b, c);
      minusDerivativeAcrossLines<&Vec3::y>(ry, a, b, c, dh.y, o, nk);

      // Along k the neighbours sit inside the line itself.
      const double* v = f.line(i, j);
      if (nk >= 3) {
        o[0].z = -(-3.0 * v[0] + 4.0 * v[1] - v[2]) / two_dz;
        for (int k = 1; k < nk - 1; ++k) o[k].z = -(v[k + 1] - v[k - 1]) / two_dz;
        o[nk - 1].z = -(v[nk - 3] - 4.0 * v[nk - 2] + 3.0 * v[nk - 1]) / two_dz;
      } else if (nk == 2) {
        o[0].z = o[1].z = -(v[1] - v[0]) / dh.z;
      } else {
        o[0].z = 0.0;
      }
    }
}

// Curl of the cells with lower corner (i, j, 0 .. nk-2), written to out[0 .. nk-2].
//
// Stencil: each partial derivative is the mean of the four differences across
// the cell along the derivative's axis (upper layer minus lower layer, one per
// edge of the cell parallel to that axis), divided by that axis' spacing. The
// mean and the division are one weight per axis, w = 0.25 / h (1/m):
//   dG/dx = ((d(j,k) + d(j,k+1)) + (d(j+1,k) + d(j+1,k+1))) * wx,
//   with d(j,k) = G(i+1,j,k) - G(i,j,k); likewise along j and k.
// This is the derivative at the cell centre, second-order accurate there.
// Every difference of a constant field is exactly 0, so its curl is exactly 0.
void curlCellLine(const VectorField& F, int i, int j, const Vec3& dh, Vec3* out) {
  const int nk = F.nk;
  const double wx = 0.25 / dh.x, wy = 0.25 / dh.y, wz = 0.25 / dh.z;
  // pAB: a = offset along i, b = offset along j.
  const Vec3* p00 = F.line(i, j);
  const Vec3* p10 = F.line(i + 1, j);
  const Vec3* p01 = F.line(i, j + 1);
  const Vec3* p11 = F.line(i + 1, j + 1);
  for (int k = 0; k < nk - 1; ++k) {
    const int e = k + 1;
    // Along i: edges at (j, k), (j, k+1), (j+1, k), (j+1, k+1).
    const double dFy_dx = (((p10[k].y - p00[k].y) + (p10[e].y - p00[e].y)) +
                           ((p11[k].y - p01[k].y) + (p11[e].y - p01[e].y))) * wx;
    const double dFz_dx = (((p10[k].z - p00[k].z) + (p10[e].z - p00[e].z)) +
                           ((p11[k].z - p01[k].z) + (p11[e].z - p01[e].z))) * wx;
    // Along j: edges at (i, k), (i, k+1), (i+1, k), (i+1, k+1).
    const double dFx_dy = (((p01[k].x - p00[k].x) + (p01[e].x - p00[e].x)) +
                           ((p11[k].x - p10[k].x) + (p11[e].x - p10[e].x))) * wy;
    const double dFz_dy = (((p01[k].z - p00[k].z) + (p01[e].z - p00[e].z)) +
                           ((p11[k].z - p10[k].z) + (p11[e].z - p10[e].z))) * wy;
    // Along k: edges at (i, j), (i, j+1), (i+1, j), (i+1, j+1).
    const double dFx_dz = (((p00[e].x - p00[k].x) + (p01[e].x - p01[k].x)) +
                           ((p10[e].x - p10[k].x) + (p11[e].x - p11[k].x))) * wz;
    const double dFy_dz = (((p00[e].y - p00[k].y) + (p01[e].y - p01[k].y)) +
                           ((p10[e].y - p10[k].y) + (p11[e].y - p11[k].y))) * wz;
    out[k].x = dFz_dy - dFy_dz;
    out[k].y = dFx_dz - dFz_dx;
    out[k].z = dFy_dx - dFx_dy;
  }
}

// Curl of F on the line (i, j, 0 .. nk-1) as curl(F, 0) stores it: the cell
// values where a cell starts, zero on the upper layers.
void curlLineOrZero(const VectorField& F, int i, int j, const Vec3& dh, Vec3* out) {
  const int nk = F.nk;
  if (i < F.ni - 1 && j < F.nj - 1 && nk >= 2) {
    curlCellLine(F, i, j, dh, out);
    out[nk - 1] = Vec3{};
  } else {
    std::fill(out, out + nk, Vec3{});
  }
}

// The taper weights of the count indices first, first + 1, ... on an axis of n nodes.
std::vector<double> taperWeights(int count, int first, int n) {
  std::vector<double> w(static_cast<std::size_t>(std::max(count, 0)));
  for (int q = 0; q < count; ++q) w[static_cast<std::size_t>(q)] = taperWeight(first + q, n);
  return w;
}
std::vector<double> taperWeights(int n) { return taperWeights(n, 0, n); }

}  // namespace

VectorField minusGradient(const Field& f, const Grid& grid) {
  VectorField out(f.ni, f.nj, f.nk);
  minusGradientInto(f, grid, out);
  return out;
}

VectorField curl(const VectorField& F, uint8_t pad, const Grid& grid) {
  VectorField out(F.ni + pad, F.nj + pad, F.nk + pad);
  if (F.ni < 2 || F.nj < 2 || F.nk < 2) return out;
  for (int i = 0; i < F.ni - 1; ++i)
    for (int j = 0; j < F.nj - 1; ++j) curlCellLine(F, i, j, grid.dh, out.line(i + pad, j + pad) + pad);
  return out;
}

double taperWeight(int q, int n) {
  if (q < 2) {
    const double d = 2 - q;
    return 1.0 - d * d / 4.0;
  }
  if (q > n - 3) {
    const double d = q - (n - 3);
    return 1.0 - d * d / 4.0;
  }
  return 1.0;
}

void dampBoundaryLayers(VectorField& ef) { dampBoundaryLayers(ef, 0, ef.ni); }

void dampBoundaryLayers(VectorField& ef, int32_t i0, int32_t gni) {
  if (ef.size() == 0) return;
  const std::vector<double> wi = taperWeights(ef.ni, i0, gni), wj = taperWeights(ef.nj),
                            wk = taperWeights(ef.nk);
  for (int i = 0; i < ef.ni; ++i)
    for (int j = 0; j < ef.nj; ++j) {
      Vec3* e = ef.line(i, j);
      for (int k = 0; k < ef.nk; ++k) {
        e[k].x *= wi[i];
        e[k].y *= wj[j];
        e[k].z *= wk[k];
      }
    }
}

void addUniform(VectorField& f, const Vec3& v) {
  for (Vec3& value : f.data) value += v;
}

void electrostaticField(World& world) {
  if (world.ef.ni != world.phi.ni || world.ef.nj != world.phi.nj || world.ef.nk != world.phi.nk)
    world.ef = VectorField(world.phi.ni, world.phi.nj, world.phi.nk);
  exchangeGhostPlanes(world.part, world.phi);
  minusGradientInto(world.phi, world.grid, world.ef);
  dampBoundaryLayers(world.ef, world.grid.i0, world.grid.gni);
  exchangeGhostPlanes(world.part, world.ef);  // the push reads a cell's upper plane
}

void updateFields(World& world) {
  const Field& phi = world.phi;
  VectorField& ef = world.ef;
  VectorField& B = world.B;
  const VectorField& jt = world.j_total;
  const int ni = phi.ni, nj = phi.nj, nk = phi.nk;
  if (ef.ni != ni || ef.nj != nj || ef.nk != nk) ef = VectorField(ni, nj, nk);

  // 1. ef := -grad phi, written straight into ef. On a slab every step works
  // on the owned planes; a cell's upper plane may be a ghost, refreshed from
  // its owner before each curl.
  const Grid& grid = world.grid;
  exchangeGhostPlanes(world.part, world.phi);
  minusGradientInto(phi, grid, ef);
  if (phi.size() == 0) return;
  exchangeGhostPlanes(world.part, ef);
  const int i_begin = grid.ownedBegin(), i_end = grid.ownedEnd();

  const double dt = world.dt;
  std::vector<Vec3> c(static_cast<std::size_t>(nk));  // curl of one line of cells

  // 2. B := B - dt * curl(ef). curl reads only ef, so B can change in place.
  for (int i = i_begin; i < i_end; ++i)
    for (int j = 0; j < nj; ++j) {
      curlLineOrZero(ef, i, j, world.grid.dh, c.data());
      Vec3* b = B.line(i, j);
      for (int k = 0; k < nk; ++k) {
        b[k].x = b[k].x - dt * c[k].x;
        b[k].y = b[k].y - dt * c[k].y;
        b[k].z = b[k].z - dt * c[k].z;
      }
    }

  // 3 and 4. ef := (ef + dt * (C2 * curl(B) - j_total / EPS_0)) * taper, one
  // pass; curl reads only the finished B, so ef can change in place.
  exchangeGhostPlanes(world.part, B);
  const std::vector<double> wi = taperWeights(ni, grid.i0, grid.gni), wj = taperWeights(nj), wk = taperWeights(nk);
  for (int i = i_begin; i < i_end; ++i)
    for (int j = 0; j < nj; ++j) {
      curlLineOrZero(B, i, j, world.grid.dh, c.data());
      Vec3* e = ef.line(i, j);
      const Vec3* J = jt.line(i, j);
      const double wx = wi[i], wy = wj[j];
      for (int k = 0; k < nk; ++k) {
        e[k].x = (e[k].x + dt * (C2 * c[k].x - INV_EPS_0 * J[k].x)) * wx;
        e[k].y = (e[k].y + dt * (C2 * c[k].y - INV_EPS_0 * J[k].y)) * wy;
        e[k].z = (e[k].z + dt * (C2 * c[k].z - INV_EPS_0 * J[k].z)) * wk[k];
      }
    }
  exchangeGhostPlanes(world.part, ef);
}

}  // namespace plasmabox
