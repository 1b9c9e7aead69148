#include "geometry/objectOutside.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "geometry/CellLattice.h"
#include "geometry/ClearCells.h"
#include "geometry/floodFromBorder.h"
#include "geometry/isClosedSurface.h"
#include "geometry/rayHitsTriangle.h"
#include "geometry/rayShadows.h"
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

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Splits the cells of split.region that a triangle may come within pad of
// (slot_of, slot_cell) and lists, per such cell, the triangles concerned.
void splitSurfaceCells(const CellLattice& lattice, const std::vector<TrianglePlane>& planes, const Vec3& pad,
                       SplitRegion& split, std::vector<std::pair<std::size_t, uint32_t>>& near) {
  const CellRegion& region = split.region;
  const int whole[3] = {-1, -1, -1};
  std::vector<std::pair<std::size_t, uint32_t>> found;
  for (std::size_t t = 0; t < planes.size(); ++t) {
    int64_t from[3], to[3];
    if (!region.cellsNear(lattice, planes[t].lo, planes[t].hi, pad, from, to)) continue;
    for (int64_t i = from[0]; i <= to[0]; ++i)
      for (int64_t j = from[1]; j <= to[1]; ++j)
        for (int64_t k = from[2]; k <= to[2]; ++k) {
          const int64_t c[3] = {region.lo[0] + i, region.lo[1] + j, region.lo[2] + k};
          Vec3 lo, hi;
          lattice.box(c, whole, pad, lo, hi);
          if (mayMeetBox(planes[t], lo, hi)) found.push_back({region.at(i, j, k), static_cast<uint32_t>(t)});
        }
  }
  // Grouped by cell with a counting sort, which keeps the triangle order.
  std::vector<uint32_t> start(region.count() + 1, 0);
  for (const auto& e : found) ++start[e.first + 1];
  for (std::size_t c = 0; c < region.count(); ++c) start[c + 1] += start[c];
  near.resize(found.size());
  for (const auto& e : found) near[start[e.first]++] = e;
  split.slot_of.assign(region.count(), -1);
  for (std::size_t e = 0; e < near.size(); ++e)
    if (e == 0 || near[e].first != near[e - 1].first) {
      split.slot_of[near[e].first] = static_cast<int32_t>(split.slot_cell.size());
      split.slot_cell.push_back(near[e].first);
    }
}

// Adds to mask the parts of cell c, each widened by pad, that the triangle
// may meet: mayMeetBox's test, with the plane distance of a part's centre
// summed from one term per axis (the same products in the same order).
void addPartsNear(const TrianglePlane& t, const CellLattice& lattice, const int64_t c[3], const Vec3& pad,
                  PartMask& mask) {
  bool overlap[3][CLEAR_SPLIT];
  double term[3][CLEAR_SPLIT];
  double half = 0.0, offset = 0.0, reach = 0.0;
  for (int a = 0; a < 3; ++a) {
    double half_a = 0.0, offset_a = 0.0;
    for (int q = 0; q < CLEAR_SPLIT; ++q) {
      const int part[3] = {q, q, q};
      Vec3 lo, hi;
      lattice.box(c, part, pad, lo, hi);
      overlap[a][q] = !(t.hi[a] < lo[a] || t.lo[a] > hi[a]);
      const double h = 0.5 * (hi[a] - lo[a]), centre = lo[a] + h;
      term[a][q] = t.normal[a] * (centre - t.a[a]);
      half_a = std::max(half_a, h);
      offset_a = std::max(offset_a, std::fabs(centre - t.a[a]));
    }
    half += half_a;
    offset += offset_a;
    reach += std::fabs(t.normal[a]) * half_a;
  }
  const double norm1 = std::fabs(t.normal.x) + std::fabs(t.normal.y) + std::fabs(t.normal.z);
  const double allowance = 1e-9 * norm1 * (offset + half + t.scale);  // as in mayMeetBox
  for (int x = 0; x < CLEAR_SPLIT; ++x)
    for (int y = 0; y < CLEAR_SPLIT && overlap[0][x]; ++y)
      for (int z = 0; z < CLEAR_SPLIT && overlap[1][y]; ++z) {
        if (!overlap[2][z]) continue;
        const double distance = term[0][x] + term[1][y] + term[2][z];
        if (!(distance - reach > t.above + allowance || distance + reach < t.below - allowance))
          mask.add((x * CLEAR_SPLIT + y) * CLEAR_SPLIT + z);
      }
}

// Blocks, in each split cell, the parts a triangle of the cell's list may
// come within pad of; on `threads` threads.
void blockSurfaceParts(const CellLattice& lattice, const std::vector<TrianglePlane>& planes, const Vec3& pad,
                       const std::vector<std::pair<std::size_t, uint32_t>>& near, SplitRegion& split, int threads) {
  const auto slots = static_cast<int64_t>(split.slot_cell.size());
  std::vector<std::size_t> first(split.slot_cell.size() + 1, near.size());  // per slot: its first entry in near
  for (std::size_t e = near.size(); e-- > 0;) first[static_cast<std::size_t>(split.slot_of[near[e].first])] = e;
  split.blocked.assign(split.slot_cell.size(), PartMask{});
#pragma omp parallel for schedule(dynamic, 16) num_threads(std::max(threads, 1))
  for (int64_t s = 0; s < slots; ++s) {
    int64_t c[3];
    split.region.cellOf(split.slot_cell[static_cast<std::size_t>(s)], c);
    PartMask mask;
    for (std::size_t e = first[static_cast<std::size_t>(s)]; e < first[static_cast<std::size_t>(s) + 1]; ++e) {
      const TrianglePlane& t = planes[near[e].second];
      addPartsNear(t, lattice, c, pad, mask);
    }
    split.blocked[static_cast<std::size_t>(s)] = mask;
  }
}

}  // namespace

ObjectOutside objectOutside(const Grid& grid, const AmfObject& object, const Vec3& slack, std::size_t max_cells,
                            int threads) {
  ObjectOutside out;
  const std::vector<Triangle>& tris = object.triangles;
  if (tris.empty() || !finite(object.bbox_min) || !finite(object.bbox_max) || !isClosedSurface(tris)) return out;
  for (int a = 0; a < 3; ++a)
    if (!(std::isfinite(grid.x0[a]) && grid.dh[a] > 0.0 && std::isfinite(grid.dh[a]))) return out;
  const CellLattice lattice{grid.x0, grid.dh};

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
  // A margin wider than two cells (a long sliver far from the rest, on a fine
  // mesh: a 30 m edge gives 0.15 m) would block every part of the cells along
  // the surface and spread the region over tens of thousands of cells per
  // triangle, for minutes of work: such an object proves nothing, and every
  // point near it takes the query.
  for (int a = 0; a < 3; ++a)
    if (!(margin <= 2.0 * grid.dh[a])) return out;

  // The region: every cell that may come within margin of a triangle, and
  // two layers more, so that its border cells lie beyond every triangle.
  CellRegion& region = out.region;
  Vec3 pad;  // m: margin, the lookup's slack, the rounding of the cell bounds
  double cells = 1.0;
  for (int a = 0; a < 3; ++a) {
    const double first = lattice.firstCell(a, lo[a], margin + slack[a]) - 1.0;
    const double last = lattice.lastCell(a, hi[a], margin + slack[a]) + 1.0;
    if (!(std::fabs(first) < 1e15 && std::fabs(last) < 1e15)) return out;
    region.lo[a] = static_cast<int64_t>(first);
    region.n[a] = static_cast<int64_t>(last) - region.lo[a] + 1;
    cells *= static_cast<double>(region.n[a]);
    const double reach = std::fabs(grid.x0[a]) + (std::fabs(first) + std::fabs(last) + 2.0) * grid.dh[a];
    pad[a] = margin + slack[a] + 16.0 * EPS * reach;
  }
  if (cells > static_cast<double>(max_cells)) return out;

  // The (cell, triangle) pairs to test, counted from the triangles' boxes
  // before any is stored. Far from the origin, with long edges, the rounding
  // bound makes margin as wide as many cells (a plate of 300 m on a mesh of
  // 0.7 m cells: 170 m), every triangle comes near most cells, and the pairs
  // would take gigabytes and minutes: then nothing is proved, and every point
  // near the object takes the query, as without this classification.
  std::vector<TrianglePlane> planes(tris.size());
  for (std::size_t t = 0; t < tris.size(); ++t) planes[t] = trianglePlane(tris[t]);
  double pairs = 0.0;
  for (const TrianglePlane& t : planes) {
    int64_t from[3], to[3];
    if (region.cellsNear(lattice, t.lo, t.hi, pad, from, to))
      pairs += static_cast<double>(to[0] - from[0] + 1) * static_cast<double>(to[1] - from[1] + 1) *
               static_cast<double>(to[2] - from[2] + 1);
  }
  if (pairs > static_cast<double>(max_cells)) return out;

  // Cells a triangle may come within margin of: they are split into parts,
  // and the parts no triangle comes near stay open.
  SplitRegion split{region, {}, {}, {}};
  std::vector<std::pair<std::size_t, uint32_t>> near;  // (cell, triangle), by cell, triangles in order
  splitSurfaceCells(lattice, planes, pad, split, near);
  if (split.slot_cell.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return out;
  blockSurfaceParts(lattice, planes, pad, near, split, threads);

  const std::vector<uint8_t> shadows = shadowDirections(lattice, region, object, pad - Vec3{margin, margin, margin}, threads);
  const Reached reached = floodFromBorder(split);

  // Reached cells and parts are outside, unless shadows of three or more
  // directions reach the cell.
  out.state.assign(region.count(), CELL_UNKNOWN);
  out.masks.assign(split.slot_cell.size(), PartMask{});
  for (std::size_t cell = 0; cell < region.count(); ++cell) {
    if (std::popcount(static_cast<unsigned>(shadows[cell])) > 2) continue;
    const int32_t slot = split.slot_of[cell];
    if (slot < 0) {
      if (reached.cells[cell]) out.state[cell] = CELL_OUTSIDE;
      continue;
    }
    const auto s = static_cast<std::size_t>(slot);
    out.masks[s] = reached.parts[s];
    if (!out.masks[s].empty()) out.state[cell] = CELL_PARTLY;
  }
  out.mask_of = std::move(split.slot_of);
  out.known = true;
  return out;
}

}  // namespace plasmabox
