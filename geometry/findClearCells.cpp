#include "geometry/findClearCells.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "geometry/objectOutside.h"

namespace plasmabox {

namespace {

constexpr double EPS = std::numeric_limits<double>::epsilon();

// An object the query can find at all: it needs a triangle and a first vertex.
bool canContain(const AmfObject& o) { return !o.triangles.empty() && !o.vertices.empty(); }

bool anyNaN(const Vec3& v) { return std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z); }

// Per covered cell index along each axis, the part coordinates whose
// slabs (within slack) lie apart from an object's closed box along that axis:
// bit q set when part coordinate q lies below or above the box.
struct OffBox {
  std::vector<uint8_t> axis[3];
};

OffBox offBox(const Grid& grid, const Vec3& slack, const int32_t lo[3], const int32_t hi[3], const AmfObject& object) {
  static_assert(CLEAR_SPLIT <= 8, "one byte per cell and axis");
  OffBox b;
  for (int a = 0; a < 3; ++a)
    for (int32_t cell = lo[a]; cell < hi[a]; ++cell) {
      uint8_t bits = 0;
      for (int q = 0; q < CLEAR_SPLIT; ++q) {
        const double from = static_cast<double>(cell) + q / double(CLEAR_SPLIT);
        const double low = grid.x0[a] + from * grid.dh[a] - slack[a];
        const double high = grid.x0[a] + (from + 1.0 / CLEAR_SPLIT) * grid.dh[a] + slack[a];
        if (high < object.bbox_min[a] || low > object.bbox_max[a]) bits |= static_cast<uint8_t>(1u << q);
      }
      b.axis[a].push_back(bits);
    }
  return b;
}

// The parts of a cell apart from the box along some axis, from the bits of
// its three coordinates.
PartMask partsOff(uint8_t x, uint8_t y, uint8_t z) {
  PartMask m;
  for (int p = 0; p < CLEAR_PARTS; ++p)
    if ((x >> (p / (CLEAR_SPLIT * CLEAR_SPLIT)) & 1) || (y >> (p / CLEAR_SPLIT % CLEAR_SPLIT) & 1) ||
        (z >> (p % CLEAR_SPLIT) & 1))
      m.add(p);
  return m;
}

}  // namespace

bool clearCellsMatch(const ClearCells& clear, std::span<const AmfObject> objects) {
  if (clear.objects.size() != objects.size()) return false;
  for (std::size_t o = 0; o < objects.size(); ++o) {
    const ObjectPrint& p = clear.objects[o];
    if (p.triangles != objects[o].triangles.size() || !(p.bbox_min == objects[o].bbox_min) ||
        !(p.bbox_max == objects[o].bbox_max))
      return false;
  }
  return true;
}

ClearCells findClearCells(const Grid& grid, std::span<const AmfObject> objects, int threads) {
  ClearCells c;
  for (const AmfObject& o : objects) c.objects.push_back({o.triangles.size(), o.bbox_min, o.bbox_max});
  c.x0 = grid.x0;
  c.dh = grid.dh;
  // How far (m) a point may lie from the part of a cell it is looked up in:
  // the product (p - x0) * (1 / dh) is within a few roundings of the exact
  // quotient, and the part bounds x0 + (i + p / CLEAR_SPLIT) dh are too.
  Vec3 slack;
  for (int a = 0; a < 3; ++a) {
    if (grid.nn[a] < 2 || !std::isfinite(grid.x0[a]) || !(grid.dh[a] > 0.0) || !std::isfinite(grid.dh[a])) return c;
    c.inv_dh[a] = 1.0 / grid.dh[a];
    c.limit[a] = grid.nn[a];
    slack[a] = 16.0 * EPS * (std::fabs(grid.x0[a]) + (grid.nn[a] + 1.0) * grid.dh[a]) + std::numeric_limits<double>::min();
  }
  for (const AmfObject& o : objects)
    if (canContain(o) && (anyNaN(o.bbox_min) || anyNaN(o.bbox_max))) return c;  // such a box lets every point in

  // The cells any object's box comes near; all others are clear.
  double first[3] = {INFINITY, INFINITY, INFINITY}, last[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (const AmfObject& o : objects) {
    if (!canContain(o)) continue;
    for (int a = 0; a < 3; ++a) {
      first[a] = std::min(first[a], std::floor((o.bbox_min[a] - slack[a] - grid.x0[a]) / grid.dh[a]) - 1.0);
      last[a] = std::max(last[a], std::floor((o.bbox_max[a] + slack[a] - grid.x0[a]) / grid.dh[a]) + 1.0);
    }
  }
  bool none = false;
  for (int a = 0; a < 3; ++a) {
    const double lo = std::max(first[a], 0.0), hi = std::min(last[a], grid.nn[a] - 1.0);  // cell n - 1: rounding only
    if (!(lo <= hi)) none = true;
    c.lo[a] = none ? 0 : static_cast<int32_t>(lo);
    c.hi[a] = none ? 0 : static_cast<int32_t>(hi) + 1;
  }
  c.usable = true;
  if (none) {
    for (int a = 0; a < 3; ++a) c.lo[a] = c.hi[a] = 0;
    return c;
  }

  // What each closed object proves about the cells around it.
  const std::size_t mesh_cells = static_cast<std::size_t>(grid.nn[0]) * grid.nn[1] * grid.nn[2];
  const std::size_t max_cells = std::max<std::size_t>(8 * mesh_cells, std::size_t{1} << 22);
  std::vector<ObjectOutside> outside;
  outside.reserve(objects.size());
  for (const AmfObject& o : objects)
    outside.push_back(canContain(o) ? objectOutside(grid, o, slack, max_cells, threads) : ObjectOutside{});

  // Per cell: which parts are clear of every object.
  const int64_t ni = c.hi[0] - c.lo[0], nj = c.hi[1] - c.lo[1], nk = c.hi[2] - c.lo[2];
  const auto count = static_cast<std::size_t>(ni * nj * nk);
  std::vector<PartMask> clear_parts(count);
  const PartMask all = PartMask::every();
  const uint8_t every_part = static_cast<uint8_t>((1u << CLEAR_SPLIT) - 1);
  std::vector<OffBox> off(objects.size());
  for (std::size_t o = 0; o < objects.size(); ++o)
    if (canContain(objects[o])) off[o] = offBox(grid, slack, c.lo, c.hi, objects[o]);
#pragma omp parallel for schedule(dynamic, 1) num_threads(std::max(threads, 1))
  for (int64_t i = 0; i < ni; ++i)
    for (int64_t j = 0; j < nj; ++j)
      for (int64_t k = 0; k < nk; ++k) {
        const int64_t cell[3] = {c.lo[0] + i, c.lo[1] + j, c.lo[2] + k};
        PartMask parts = all;
        for (std::size_t o = 0; o < objects.size() && !parts.empty(); ++o) {
          if (!canContain(objects[o])) continue;
          const uint8_t x = off[o].axis[0][static_cast<std::size_t>(i)], y = off[o].axis[1][static_cast<std::size_t>(j)],
                        z = off[o].axis[2][static_cast<std::size_t>(k)];
          if (x == every_part || y == every_part || z == every_part) continue;  // the cell is apart from the box
          const ObjectOutside& out = outside[o];
          const uint8_t state = out.cellState(cell[0], cell[1], cell[2]);
          if (state == CELL_OUTSIDE) continue;
          const PartMask off_box = x | y | z ? partsOff(x, y, z) : PartMask{};
          parts &= state == CELL_PARTLY ? off_box | out.cellMask(cell[0], cell[1], cell[2]) : off_box;
        }
        clear_parts[static_cast<std::size_t>((i * nj + j) * nk + k)] = parts;
      }

  c.state.resize(count);
  for (std::size_t q = 0; q < count; ++q) {
    const PartMask& parts = clear_parts[q];
    if (parts.full() || parts.empty()) {
      c.state[q] = parts.full() ? ALL_CLEAR : NOT_CLEAR;
    } else {
      c.state[q] = FIRST_MASK + static_cast<uint32_t>(c.part_masks.size());
      c.part_masks.push_back(parts);
    }
  }
  return c;
}

}  // namespace plasmabox
