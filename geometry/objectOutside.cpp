#include "geometry/objectOutside.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "geometry/ClearCells.h"
#include "geometry/ObjectBvh.h"
#include "geometry/isClosedSurface.h"
#include "geometry/rayHitsTriangle.h"
#include "geometry/triangleNearBox.h"

// Why a cell marked outside is safe. The query finds the object at p when p
// is in its box and at least three of the five rays from p hit an odd number
// of its triangles. Take a closed surface (isClosedSurface) and a point p
// that lies at least `margin` from every triangle and is joined, by a chain
// of such cells, to cells beyond all triangles. In exact arithmetic, every
// ray from p that meets no edge or vertex then crosses the surface an even
// number of times, and the hit test sees each crossing: it lies more than
// 1e-8 along the ray (margin also covers the rounding of t), and the test
// misses only triangles nearly parallel to the ray (|det| < 1e-8). Such a
// triangle of direction k hides its crossings from the origins of a tube (the
// triangle swept back along the ray): cells that tubes of three or more
// directions pass through are not marked. Elsewhere at most two parities can
// be odd, two votes, and the query never finds the object. What rounding can
// still do is count twice, or not at all, a crossing within about 1e-16 of
// the size of the object from an edge or vertex, which would change the
// answer only for a point whose rays graze edges in three directions at once.

namespace plasmabox {

namespace {

constexpr double EPS = std::numeric_limits<double>::epsilon();
constexpr int PARTS = CLEAR_PARTS;

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The lattice: cell c along axis a spans x0 + c dh .. x0 + (c + 1) dh.
struct Lattice {
  Vec3 x0, dh;
  // Lowest cell whose box, widened by pad, may reach x; as a double (may be huge).
  double firstCell(int a, double x, double pad) const { return std::floor((x - pad - x0[a]) / dh[a]) - 1.0; }
  double lastCell(int a, double x, double pad) const { return std::floor((x + pad - x0[a]) / dh[a]) + 1.0; }
  // Box of the cell (or of part p of it, 0 <= p < CLEAR_SPLIT per axis, p < 0: the whole cell), widened by pad.
  void box(const int64_t c[3], const int p[3], const Vec3& pad, Vec3& lo, Vec3& hi) const {
    for (int a = 0; a < 3; ++a) {
      const double from = p[a] < 0 ? static_cast<double>(c[a]) : static_cast<double>(c[a]) + p[a] / double(CLEAR_SPLIT);
      const double to = p[a] < 0 ? from + 1.0 : from + 1.0 / CLEAR_SPLIT;
      lo[a] = x0[a] + from * dh[a] - pad[a];
      hi[a] = x0[a] + to * dh[a] + pad[a];
    }
  }
};

// Cells of the region within [lo, hi] (each widened by pad) on every axis:
// from[a] .. to[a] inclusive, in region coordinates; false when none.
bool cellRange(const Lattice& l, const int64_t region_lo[3], const int64_t region_n[3], const Vec3& lo, const Vec3& hi,
               const Vec3& pad, int64_t from[3], int64_t to[3]) {
  for (int a = 0; a < 3; ++a) {
    const double f = std::max(l.firstCell(a, lo[a], pad[a]) - static_cast<double>(region_lo[a]), 0.0);
    const double t = std::min(l.lastCell(a, hi[a], pad[a]) - static_cast<double>(region_lo[a]),
                              static_cast<double>(region_n[a] - 1));
    if (!(f <= t)) return false;  // also NaN
    from[a] = static_cast<int64_t>(f);
    to[a] = static_cast<int64_t>(t);
  }
  return true;
}

// Lower bound of sum over axes of w[a] * x[a] for x in the box [lo, hi].
double lowest(const Vec3& w, const Vec3& lo, const Vec3& hi) {
  double s = 0.0;
  for (int a = 0; a < 3; ++a) s += std::min(w[a] * lo[a], w[a] * hi[a]);
  return s;
}
double highest(const Vec3& w, const Vec3& lo, const Vec3& hi) {
  double s = 0.0;
  for (int a = 0; a < 3; ++a) s += std::max(w[a] * lo[a], w[a] * hi[a]);
  return s;
}

// False only when the rectangle [u_lo, u_hi] x [w_lo, w_hi] and the triangle
// with corners (u[v], w[v]) are apart by more than tol (m) along one of the
// rectangle's axes or one of the triangle's edge normals.
bool rectangleMeetsTriangle(double u_lo, double u_hi, double w_lo, double w_hi, const double u[3],
                            const double w[3], double tol) {
  if (std::max({u[0], u[1], u[2]}) < u_lo - tol || std::min({u[0], u[1], u[2]}) > u_hi + tol) return false;
  if (std::max({w[0], w[1], w[2]}) < w_lo - tol || std::min({w[0], w[1], w[2]}) > w_hi + tol) return false;
  const double cu = 0.5 * (u_lo + u_hi), cw = 0.5 * (w_lo + w_hi), hu = 0.5 * (u_hi - u_lo), hw = 0.5 * (w_hi - w_lo);
  for (int e = 0; e < 3; ++e) {
    const int f = (e + 1) % 3, g = (e + 2) % 3;
    const double nu = w[e] - w[f], nw = u[f] - u[e];  // normal of edge e-f; scaled by its length
    const double length = std::fabs(nu) + std::fabs(nw);
    const double edge_side = nu * (u[e] - cu) + nw * (w[e] - cw);  // the edge, seen from the centre
    const double third = nu * (u[g] - cu) + nw * (w[g] - cw);      // the opposite corner
    const double reach = std::fabs(nu) * hu + std::fabs(nw) * hw;
    const double lo = std::min(edge_side, third), hi = std::max(edge_side, third);
    if (lo > reach + tol * length || hi < -reach - tol * length) return false;
  }
  return true;
}

}  // namespace

ObjectOutside objectOutside(const Grid& grid, const AmfObject& object, const Vec3& slack, std::size_t max_cells,
                            int threads) {
  ObjectOutside out;
  const std::vector<Triangle>& tris = object.triangles;
  if (tris.empty() || !finite(object.bbox_min) || !finite(object.bbox_max) || !isClosedSurface(tris)) return out;
  const Lattice lattice{grid.x0, grid.dh};
  for (int a = 0; a < 3; ++a)
    if (!(std::isfinite(grid.x0[a]) && grid.dh[a] > 0.0 && std::isfinite(grid.dh[a]))) return out;

  // Extent of the triangles and the box, the longest edge, and the distance
  // `margin` (m) the cells kept outside must keep from every triangle: the
  // smallest counted t (1e-8 times a direction shorter than 1) plus a bound
  // on the rounding of t, which grows with the origin's distance and the
  // edges squared over the smallest determinant counted (1e-8).
  Vec3 lo = object.bbox_min, hi = object.bbox_max;
  double edge = 0.0;
  for (const Triangle& t : tris)
    for (const Vec3* v : {&t.a, &t.b, &t.c}) {
      for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], (*v)[a]), hi[a] = std::max(hi[a], (*v)[a]);
      edge = std::max({edge, std::sqrt(dot(t.b - t.a, t.b - t.a)), std::sqrt(dot(t.c - t.a, t.c - t.a))});
    }
  const double diagonal = std::sqrt(dot(hi - lo, hi - lo));
  const double t_rounding = 64.0 * EPS * (diagonal + edge) * edge * edge / RAY_PARALLEL_TOLERANCE;
  const double margin = 2.0 * (RAY_MIN_T + t_rounding);
  if (!std::isfinite(margin)) return out;

  // The region: every cell that may come within margin of a triangle, and
  // two layers more, so that its border cells lie beyond every triangle.
  Vec3 pad;  // m: margin, the lookup's slack, the rounding of the cell bounds
  double cells = 1.0;
  for (int a = 0; a < 3; ++a) {
    const double first = lattice.firstCell(a, lo[a], margin + slack[a]) - 1.0;
    const double last = lattice.lastCell(a, hi[a], margin + slack[a]) + 1.0;
    if (!(std::fabs(first) < 1e15 && std::fabs(last) < 1e15)) return out;
    out.lo[a] = static_cast<int64_t>(first);
    out.n[a] = static_cast<int64_t>(last) - out.lo[a] + 1;
    cells *= static_cast<double>(out.n[a]);
    const double reach = std::fabs(grid.x0[a]) + (std::fabs(first) + std::fabs(last) + 2.0) * grid.dh[a];
    pad[a] = margin + slack[a] + 16.0 * EPS * reach;
  }
  if (cells > static_cast<double>(max_cells)) return out;
  const auto region_cells = static_cast<std::size_t>(cells);
  const int64_t n1 = out.n[1], n2 = out.n[2];
  const auto index = [&](int64_t i, int64_t j, int64_t k) { return static_cast<std::size_t>((i * n1 + j) * n2 + k); };

  // Cells a triangle may come within margin of (surface cells), and per such
  // cell the triangles concerned.
  std::vector<TrianglePlane> planes(tris.size());
  for (std::size_t t = 0; t < tris.size(); ++t) planes[t] = trianglePlane(tris[t]);
  std::vector<uint8_t> surface(region_cells, 0);
  std::vector<std::pair<std::size_t, uint32_t>> near;  // (region cell, triangle)
  const int whole[3] = {-1, -1, -1};
  for (std::size_t t = 0; t < tris.size(); ++t) {
    int64_t from[3], to[3];
    if (!cellRange(lattice, out.lo, out.n, planes[t].lo, planes[t].hi, pad, from, to)) continue;
    for (int64_t i = from[0]; i <= to[0]; ++i)
      for (int64_t j = from[1]; j <= to[1]; ++j)
        for (int64_t k = from[2]; k <= to[2]; ++k) {
          const int64_t c[3] = {out.lo[0] + i, out.lo[1] + j, out.lo[2] + k};
          Vec3 blo, bhi;
          lattice.box(c, whole, pad, blo, bhi);
          if (!mayMeetBox(planes[t], blo, bhi)) continue;
          surface[index(i, j, k)] = 1;
          near.push_back({index(i, j, k), static_cast<uint32_t>(t)});
        }
  }
  std::sort(near.begin(), near.end());

  // The parts of each surface cell that no triangle comes near.
  std::vector<int32_t> slot_of(region_cells, -1);
  std::vector<std::size_t> slot_cell, slot_first;  // per slot: region cell, first entry in near
  for (std::size_t e = 0; e < near.size(); ++e)
    if (e == 0 || near[e].first != near[e - 1].first) {
      slot_of[near[e].first] = static_cast<int32_t>(slot_cell.size());
      slot_cell.push_back(near[e].first);
      slot_first.push_back(e);
    }
  slot_first.push_back(near.size());
  const auto slots = static_cast<int64_t>(slot_cell.size());
  if (slots >= std::numeric_limits<int32_t>::max() / PARTS) return out;
  std::vector<PartMask> part_surface(static_cast<std::size_t>(slots));
#pragma omp parallel for schedule(dynamic, 16) num_threads(std::max(threads, 1))
  for (int64_t s = 0; s < slots; ++s) {
    const std::size_t cell = slot_cell[static_cast<std::size_t>(s)];
    const int64_t c[3] = {out.lo[0] + static_cast<int64_t>(cell) / (n1 * n2),
                          out.lo[1] + static_cast<int64_t>(cell) / n2 % n1, out.lo[2] + static_cast<int64_t>(cell) % n2};
    PartMask mask;
    for (std::size_t e = slot_first[static_cast<std::size_t>(s)]; e < slot_first[static_cast<std::size_t>(s) + 1]; ++e) {
      const TrianglePlane& t = planes[near[e].second];
      // The parts along each axis that the triangle's widened box reaches.
      int from[3], to[3];
      for (int a = 0; a < 3; ++a) {
        const double cell_lo = lattice.x0[a] + static_cast<double>(c[a]) * lattice.dh[a];
        const double f = std::floor((t.lo[a] - pad[a] - cell_lo) / lattice.dh[a] * CLEAR_SPLIT) - 1.0;
        const double g = std::floor((t.hi[a] + pad[a] - cell_lo) / lattice.dh[a] * CLEAR_SPLIT) + 1.0;
        from[a] = static_cast<int>(std::clamp(f, 0.0, CLEAR_SPLIT - 1.0));
        to[a] = static_cast<int>(std::clamp(g, 0.0, CLEAR_SPLIT - 1.0));
      }
      for (int x = from[0]; x <= to[0]; ++x)
        for (int y = from[1]; y <= to[1]; ++y)
          for (int z = from[2]; z <= to[2]; ++z) {
            const int p = (x * CLEAR_SPLIT + y) * CLEAR_SPLIT + z;
            if (mask.has(p)) continue;
            const int part[3] = {x, y, z};
            Vec3 blo, bhi;
            lattice.box(c, part, pad, blo, bhi);
            if (mayMeetBox(t, blo, bhi)) mask.add(p);
          }
    }
    part_surface[static_cast<std::size_t>(s)] = mask;
  }

  // Tubes: per cell, the directions whose nearly parallel triangles may
  // hide a crossing from a point of the cell. Only cells near the object's
  // box matter: elsewhere the box test already excludes the object.
  std::vector<uint8_t> tube(region_cells, 0);
  const Vec3 tube_pad = pad - Vec3{margin, margin, margin};
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k) {
    const RayFrame f = rayFrame(k);
    for (std::size_t t = 0; t < tris.size(); ++t) {
      const Triangle& tri = tris[t];
      if (!(std::fabs(rayTriangleDeterminant(tri.a, tri.b, tri.c, f.d)) < RAY_PARALLEL_TOLERANCE)) continue;
      // The tube runs from the triangle against the direction: along an axis
      // where the direction is 0 it keeps the triangle's extent.
      Vec3 tlo = planes[t].lo, thi = planes[t].hi;
      for (int a = 0; a < 3; ++a) {
        if (f.d[a] > 0.0) tlo[a] = object.bbox_min[a];
        if (f.d[a] < 0.0) thi[a] = object.bbox_max[a];
        tlo[a] = std::max(tlo[a], object.bbox_min[a]);
        thi[a] = std::min(thi[a], object.bbox_max[a]);
      }
      int64_t from[3], to[3];
      if (!cellRange(lattice, out.lo, out.n, tlo, thi, tube_pad, from, to)) continue;
      // The triangle as the ray sees it: corners in the (u, w) plane.
      double u[3], w[3], along = -INFINITY, size = 0.0;
      const Vec3* corner[3] = {&tri.a, &tri.b, &tri.c};
      for (int v = 0; v < 3; ++v) {
        u[v] = frameU(f, *corner[v]);
        w[v] = frameW(f, *corner[v]);
        along = std::max(along, frameAlong(f, *corner[v]));
        size = std::max({size, std::fabs(corner[v]->x), std::fabs(corner[v]->y), std::fabs(corner[v]->z)});
      }
      for (int64_t i = from[0]; i <= to[0]; ++i)
        for (int64_t j = from[1]; j <= to[1]; ++j)
          for (int64_t kk = from[2]; kk <= to[2]; ++kk) {
            const int64_t c[3] = {out.lo[0] + i, out.lo[1] + j, out.lo[2] + kk};
            Vec3 blo, bhi;
            lattice.box(c, whole, tube_pad, blo, bhi);
            const double tol = 1e-9 * (size + std::max({std::fabs(blo.x), std::fabs(blo.y), std::fabs(blo.z),
                                                         std::fabs(bhi.x), std::fabs(bhi.y), std::fabs(bhi.z)}));
            if (lowest(f.d, blo, bhi) > along + tol) continue;  // the cell lies past the triangle
            const int z = f.zero_axis;
            if (!rectangleMeetsTriangle(blo[z], bhi[z], lowest(f.w, blo, bhi), highest(f.w, blo, bhi), u, w, tol))
              continue;
            tube[index(i, j, kk)] |= static_cast<uint8_t>(1u << k);
          }
    }
  }

  // Flood from the border through cells and parts that no triangle comes
  // near. Node ids: region cells 0 .. region_cells - 1, then part p of slot s
  // at region_cells + s * PARTS + p.
  std::vector<uint8_t> seen(region_cells, 0);
  std::vector<PartMask> seen_parts(static_cast<std::size_t>(slots));
  std::vector<std::size_t> stack;
  const auto visitCell = [&](std::size_t cell) {
    if (surface[cell] || seen[cell]) return;
    seen[cell] = 1;
    stack.push_back(cell);
  };
  const auto visitPart = [&](int32_t slot, int p) {
    const auto s = static_cast<std::size_t>(slot);
    if (part_surface[s].has(p) || seen_parts[s].has(p)) return;
    seen_parts[s].add(p);
    stack.push_back(region_cells + s * PARTS + static_cast<std::size_t>(p));
  };
  const int64_t n0 = out.n[0];
  for (int64_t i = 0; i < n0; ++i)
    for (int64_t j = 0; j < n1; ++j)
      for (int64_t k = 0; k < n2; ++k)
        if (i == 0 || j == 0 || k == 0 || i == n0 - 1 || j == n1 - 1 || k == n2 - 1) visitCell(index(i, j, k));
  const int64_t size[3] = {n0, n1, n2};
  while (!stack.empty()) {
    const std::size_t node = stack.back();
    stack.pop_back();
    const bool is_part = node >= region_cells;
    const std::size_t cell = is_part ? slot_cell[(node - region_cells) / PARTS] : node;
    const int p = is_part ? static_cast<int>((node - region_cells) % PARTS) : 0;
    const int64_t at[3] = {static_cast<int64_t>(cell) / (n1 * n2), static_cast<int64_t>(cell) / n2 % n1,
                           static_cast<int64_t>(cell) % n2};
    const int part[3] = {p / (CLEAR_SPLIT * CLEAR_SPLIT), p / CLEAR_SPLIT % CLEAR_SPLIT, p % CLEAR_SPLIT};
    for (int a = 0; a < 3; ++a)
      for (int step = -1; step <= 1; step += 2) {
        if (is_part && part[a] + step >= 0 && part[a] + step < CLEAR_SPLIT) {  // a part of the same cell
          int q[3] = {part[0], part[1], part[2]};
          q[a] += step;
          visitPart(slot_of[cell], (q[0] * CLEAR_SPLIT + q[1]) * CLEAR_SPLIT + q[2]);
          continue;
        }
        int64_t next[3] = {at[0], at[1], at[2]};
        next[a] += step;
        if (next[a] < 0 || next[a] >= size[a]) continue;
        const std::size_t neighbour = index(next[0], next[1], next[2]);
        if (!surface[neighbour]) {
          visitCell(neighbour);
          continue;
        }
        // The parts of the neighbour that face this cell or part.
        const int facing = step > 0 ? 0 : CLEAR_SPLIT - 1;
        for (int x = 0; x < CLEAR_SPLIT; ++x)
          for (int y = 0; y < CLEAR_SPLIT; ++y) {
            int q[3] = {part[0], part[1], part[2]};
            if (!is_part) {  // a whole cell faces all parts of the neighbour's face
              const int b = (a + 1) % 3, c = (a + 2) % 3;
              q[b] = x;
              q[c] = y;
            } else if (x + y > 0) {
              continue;  // a part faces one part
            }
            q[a] = facing;
            visitPart(slot_of[neighbour], (q[0] * CLEAR_SPLIT + q[1]) * CLEAR_SPLIT + q[2]);
          }
      }
  }

  // Reached cells and parts are outside, unless tubes of three or more
  // directions pass through the cell.
  out.state.assign(region_cells, CELL_UNKNOWN);
  out.mask_of = std::move(slot_of);
  out.masks.assign(static_cast<std::size_t>(slots), PartMask{});
  for (std::size_t cell = 0; cell < region_cells; ++cell) {
    if (std::popcount(static_cast<unsigned>(tube[cell])) > 2) continue;
    if (!surface[cell]) {
      if (seen[cell]) out.state[cell] = CELL_OUTSIDE;
      continue;
    }
    const auto s = static_cast<std::size_t>(out.mask_of[cell]);
    out.masks[s] = seen_parts[s] & ~part_surface[s];
    if (!out.masks[s].empty()) out.state[cell] = CELL_PARTLY;
  }
  out.known = true;
  return out;
}

}  // namespace plasmabox
