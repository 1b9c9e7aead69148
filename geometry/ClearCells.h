#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"

namespace plasmabox {

// The mesh cells, and parts of cells, in which no object can contain a point:
// a particle there needs no containment query. Found once after the objects
// are loaded (findClearCells); the push reads it for every particle.
//
// Each cell is split into CLEAR_SPLIT^3 equal parts (CLEAR_PARTS), fine
// enough that the parts a surface passes through hold a small share of the
// particles around it. Cells that no object's bounding box comes near are
// clear; for the cells in between, state holds NOT_CLEAR, ALL_CLEAR, or
// FIRST_MASK + m: then part p (see inClearPart) is clear when
// part_masks[m].has(p).
inline constexpr int CLEAR_SPLIT = 8;
inline constexpr int CLEAR_PARTS = CLEAR_SPLIT * CLEAR_SPLIT * CLEAR_SPLIT;
inline constexpr uint32_t NOT_CLEAR = 0;
inline constexpr uint32_t ALL_CLEAR = 1;
inline constexpr uint32_t FIRST_MASK = 2;

// A set of parts of one cell: part p (see inClearPart) is bit p % 64 of
// word p / 64.
struct PartMask {
  static constexpr int WORDS = (CLEAR_PARTS + 63) / 64;
  uint64_t words[WORDS] = {};

  bool has(int p) const { return (words[p >> 6] >> (p & 63)) & 1u; }
  void add(int p) { words[p >> 6] |= uint64_t{1} << (p & 63); }
  bool empty() const {
    for (uint64_t w : words)
      if (w != 0) return false;
    return true;
  }
  // Word w of the set of all parts.
  static constexpr uint64_t fullWord(int w) {
    return (w + 1) * 64 <= CLEAR_PARTS ? ~uint64_t{0} : (uint64_t{1} << (CLEAR_PARTS - w * 64)) - 1;
  }
  bool full() const {
    for (int w = 0; w < WORDS; ++w)
      if (words[w] != fullWord(w)) return false;
    return true;
  }
  static PartMask every() {
    PartMask m;
    for (int w = 0; w < WORDS; ++w) m.words[w] = fullWord(w);
    return m;
  }
  PartMask& operator&=(const PartMask& o) {
    for (int w = 0; w < WORDS; ++w) words[w] &= o.words[w];
    return *this;
  }
  PartMask& operator|=(const PartMask& o) {
    for (int w = 0; w < WORDS; ++w) words[w] |= o.words[w];
    return *this;
  }
  friend bool operator==(const PartMask&, const PartMask&) = default;
  friend PartMask operator|(PartMask a, const PartMask& b) { return a |= b; }
  friend PartMask operator&(PartMask a, const PartMask& b) { return a &= b; }
  // The parts not in this set.
  PartMask operator~() const {
    PartMask m = every();
    for (int w = 0; w < WORDS; ++w) m.words[w] &= ~words[w];
    return m;
  }
};

// What it was built for: one entry per object, so that a classification is
// never used with other objects than its own (see clearCellsMatch).
struct ObjectPrint {
  std::size_t triangles;
  Vec3 bbox_min, bbox_max;
};

struct ClearCells {
  bool usable = false;                // false: nothing is known, every point takes the query
  Vec3 x0;                            // m, the mesh origin
  Vec3 dh;                            // m, the mesh spacing
  Vec3 inv_dh;                        // 1/m, 1 / dh, for the lookup
  int32_t limit[3] = {0, 0, 0};       // mesh nodes per axis: logical coordinates from here on are off the mesh
  int32_t lo[3] = {0, 0, 0};          // cells lo .. hi - 1 are in state; the others are clear
  int32_t hi[3] = {0, 0, 0};
  std::vector<uint32_t> state;        // per cell of lo .. hi - 1, k fastest
  std::vector<PartMask> part_masks;   // the clear parts of the cells in state FIRST_MASK + m
  std::vector<ObjectPrint> objects;   // the objects it was built for
};

// True when no object can contain point p (m): its part of a cell is clear.
// False means only "not known": the caller asks the containment query.
//
// The cell and part come from the logical coordinate (p - x0) / dh computed
// with a multiplication by 1 / dh; the regions were widened when they were
// built to cover the rounding of that product. Points outside the mesh, or
// whose coordinate is NaN or infinite, give false. Allocation-free and
// branch-light: the push calls it once per particle per step.
inline bool inClearPart(const ClearCells& c, const Vec3& p) {
  if (!c.usable) return false;
  const double l[3] = {(p.x - c.x0.x) * c.inv_dh.x, (p.y - c.x0.y) * c.inv_dh.y, (p.z - c.x0.z) * c.inv_dh.z};
  int32_t cell[3], part[3];
  bool in_table = true;
  for (int a = 0; a < 3; ++a) {
    // Written so that NaN fails; limit[a] is below 2^31, so the conversion is defined.
    if (!(l[a] >= 0.0 && l[a] < c.limit[a])) return false;
    cell[a] = static_cast<int32_t>(l[a]);
    part[a] = static_cast<int32_t>((l[a] - cell[a]) * CLEAR_SPLIT);  // exact: 0 <= l - cell < 1
    in_table = in_table && cell[a] >= c.lo[a] && cell[a] < c.hi[a];
  }
  if (!in_table) return true;
  const std::size_t at =
      (static_cast<std::size_t>(cell[0] - c.lo[0]) * static_cast<std::size_t>(c.hi[1] - c.lo[1]) +
       static_cast<std::size_t>(cell[1] - c.lo[1])) *
          static_cast<std::size_t>(c.hi[2] - c.lo[2]) +
      static_cast<std::size_t>(cell[2] - c.lo[2]);
  const uint32_t s = c.state[at];
  if (s < FIRST_MASK) return s == ALL_CLEAR;
  const int bit = (part[0] * CLEAR_SPLIT + part[1]) * CLEAR_SPLIT + part[2];
  return c.part_masks[s - FIRST_MASK].has(bit);
}

}  // namespace plasmabox
