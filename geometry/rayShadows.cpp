#include "geometry/rayShadows.h"

#include <algorithm>
#include <cmath>

#include "geometry/ObjectBvh.h"
#include "geometry/rayHitsTriangle.h"

namespace plasmabox {

namespace {

// Lowest and highest value of w . x over the box [lo, hi].
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
// with corners (u[v], w[v]) are apart by more than tol (m) along an axis of
// the rectangle or a normal of a triangle edge.
bool rectangleMeetsTriangle(double u_lo, double u_hi, double w_lo, double w_hi, const double u[3],
                            const double w[3], double tol) {
  if (std::max({u[0], u[1], u[2]}) < u_lo - tol || std::min({u[0], u[1], u[2]}) > u_hi + tol) return false;
  if (std::max({w[0], w[1], w[2]}) < w_lo - tol || std::min({w[0], w[1], w[2]}) > w_hi + tol) return false;
  const double cu = 0.5 * (u_lo + u_hi), cw = 0.5 * (w_lo + w_hi), hu = 0.5 * (u_hi - u_lo), hw = 0.5 * (w_hi - w_lo);
  for (int e = 0; e < 3; ++e) {
    const int f = (e + 1) % 3, g = (e + 2) % 3;
    const double nu = w[e] - w[f], nw = u[f] - u[e];  // normal of edge e-f, times its length
    const double length = std::fabs(nu) + std::fabs(nw);
    const double edge_side = nu * (u[e] - cu) + nw * (w[e] - cw);  // the edge, seen from the centre
    const double third = nu * (u[g] - cu) + nw * (w[g] - cw);      // the opposite corner
    const double reach = std::fabs(nu) * hu + std::fabs(nw) * hw;
    const double lo = std::min(edge_side, third), hi = std::max(edge_side, third);
    if (lo > reach + tol * length || hi < -reach - tol * length) return false;
  }
  return true;
}

// Marks in `marks` the cells the shadows of direction k's hidden triangles reach.
void markDirection(const CellLattice& lattice, const CellRegion& region, const AmfObject& object, const Vec3& pad,
                   int k, std::vector<uint8_t>& marks) {
  const RayFrame f = rayFrame(k);
  const int whole[3] = {-1, -1, -1};
  for (const Triangle& tri : object.triangles) {
    if (!(std::fabs(rayTriangleDeterminant(tri.a, tri.b, tri.c, f.d)) < RAY_PARALLEL_TOLERANCE)) continue;
    // The shadow runs from the triangle against the direction: along an axis
    // where the direction is 0 it keeps the triangle's extent.
    Vec3 lo, hi, lo_tri, hi_tri;
    for (int a = 0; a < 3; ++a) {
      lo[a] = lo_tri[a] = std::min({tri.a[a], tri.b[a], tri.c[a]});
      hi[a] = hi_tri[a] = std::max({tri.a[a], tri.b[a], tri.c[a]});
      if (f.d[a] > 0.0) lo[a] = object.bbox_min[a];
      if (f.d[a] < 0.0) hi[a] = object.bbox_max[a];
      lo[a] = std::max(lo[a], object.bbox_min[a]);
      hi[a] = std::min(hi[a], object.bbox_max[a]);
    }
    int64_t from[3], to[3];
    if (!region.cellsNear(lattice, lo, hi, pad, from, to)) continue;
    // The triangle as the ray sees it: corners in the (u, w) plane.
    double u[3], w[3], along = -INFINITY, size = 0.0;
    const Vec3* corner[3] = {&tri.a, &tri.b, &tri.c};
    for (int v = 0; v < 3; ++v) {
      u[v] = frameU(f, *corner[v]);
      w[v] = frameW(f, *corner[v]);
      along = std::max(along, frameAlong(f, *corner[v]));
      size = std::max({size, std::fabs(corner[v]->x), std::fabs(corner[v]->y), std::fabs(corner[v]->z)});
    }
    // Slab by slab along the axis the direction leans on most, only the cells
    // across it that the swept triangle can reach in that slab: a shadow is a
    // thin slanted prism, its box mostly empty.
    const int lean = std::fabs(f.d[0]) >= std::fabs(f.d[1]) && std::fabs(f.d[0]) >= std::fabs(f.d[2]) ? 0
                     : std::fabs(f.d[1]) >= std::fabs(f.d[2])                                       ? 1
                                                                                                      : 2;
    const int across = 3 - lean - f.zero_axis;  // the other axis the direction moves along
    for (int64_t slab = from[lean]; slab <= to[lean]; ++slab) {
      int64_t first[3] = {from[0], from[1], from[2]}, last[3] = {to[0], to[1], to[2]};
      first[lean] = last[lean] = slab;
      if (across != lean && f.d[across] != 0.0) {
        // Sweep lengths s (x - s d, x in the triangle) that reach the slab, and
        // where they put the triangle across; one cell more each way.
        const double slab_lo = lattice.x0[lean] + static_cast<double>(region.lo[lean] + slab) * lattice.dh[lean] - pad[lean];
        const double slab_hi = slab_lo + lattice.dh[lean] + 2.0 * pad[lean];
        const double d = f.d[lean];
        const double s_lo = std::max(0.0, std::min((lo_tri[lean] - slab_hi) / d, (hi_tri[lean] - slab_lo) / d));
        const double s_hi = std::max((lo_tri[lean] - slab_hi) / d, (hi_tri[lean] - slab_lo) / d);
        if (!(s_hi >= 0.0)) continue;  // the slab lies ahead of the triangle
        const double e = f.d[across];
        const double reach_lo = lo_tri[across] - std::max(s_lo * e, s_hi * e);
        const double reach_hi = hi_tri[across] - std::min(s_lo * e, s_hi * e);
        int64_t f_across[3], t_across[3];
        Vec3 box_lo = lo, box_hi = hi;
        box_lo[across] = std::max(box_lo[across], reach_lo);
        box_hi[across] = std::min(box_hi[across], reach_hi);
        if (!region.cellsNear(lattice, box_lo, box_hi, pad, f_across, t_across)) continue;
        first[across] = f_across[across];
        last[across] = t_across[across];
      }
      for (int64_t i = first[0]; i <= last[0]; ++i)
        for (int64_t j = first[1]; j <= last[1]; ++j)
          for (int64_t m = first[2]; m <= last[2]; ++m) {
            const int64_t c[3] = {region.lo[0] + i, region.lo[1] + j, region.lo[2] + m};
            Vec3 blo, bhi;
            lattice.box(c, whole, pad, blo, bhi);
            // Frame coordinates carry roundings of order 1e-16 of the coordinates.
            const double tol = 1e-9 * (size + std::max({std::fabs(blo.x), std::fabs(blo.y), std::fabs(blo.z),
                                                         std::fabs(bhi.x), std::fabs(bhi.y), std::fabs(bhi.z)}));
            if (lowest(f.d, blo, bhi) > along + tol) continue;  // the cell lies past the triangle
            const int z = f.zero_axis;
            if (rectangleMeetsTriangle(blo[z], bhi[z], lowest(f.w, blo, bhi), highest(f.w, blo, bhi), u, w, tol))
              marks[region.at(i, j, m)] = 1;
          }
    }
  }
}

}  // namespace

std::vector<uint8_t> shadowDirections(const CellLattice& lattice, const CellRegion& region, const AmfObject& object,
                                      const Vec3& pad, int threads) {
  std::vector<std::vector<uint8_t>> marks(NUM_RAY_DIRECTIONS);
#pragma omp parallel for schedule(dynamic, 1) num_threads(std::max(threads, 1))
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k) {
    marks[static_cast<std::size_t>(k)].assign(region.count(), 0);
    markDirection(lattice, region, object, pad, k, marks[static_cast<std::size_t>(k)]);
  }
  std::vector<uint8_t> directions(region.count(), 0);
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k)
    for (std::size_t c = 0; c < directions.size(); ++c)
      directions[c] |= static_cast<uint8_t>(marks[static_cast<std::size_t>(k)][c] << k);
  return directions;
}

}  // namespace plasmabox
