#include "geometry/floodFromBorder.h"

namespace plasmabox {

namespace {

// Part p = (x * 8 + y) * 8 + z is bit y * 8 + z of word x: a word is one
// plane of parts across x.
static_assert(CLEAR_SPLIT == 8 && PartMask::WORDS == 8, "the bit planes below assume 8 parts per axis");
constexpr uint64_t Z_LOW = 0x0101010101010101ULL;  // z = 0 in every row
constexpr uint64_t Z_HIGH = Z_LOW << 7;            // z = 7
constexpr uint64_t Y_LOW = 0xFFULL;                // y = 0
constexpr uint64_t Y_HIGH = Y_LOW << 56;           // y = 7

// r grown by one part along every axis, kept within open.
PartMask grown(const PartMask& r, const PartMask& open) {
  PartMask g;
  for (int x = 0; x < 8; ++x) {
    const uint64_t w = r.words[x];
    uint64_t d = w | ((w << 1) & ~Z_LOW) | ((w >> 1) & ~Z_HIGH) | (w << 8) | (w >> 8);
    if (x > 0) d |= r.words[x - 1];
    if (x < 7) d |= r.words[x + 1];
    g.words[x] = d & open.words[x];
  }
  return g;
}

// The parts of r on its face across axis a (up: the high side), moved onto
// the facing face of the neighbouring cell.
PartMask acrossFace(const PartMask& r, int a, bool up) {
  PartMask f;
  for (int x = 0; x < 8; ++x) {
    const uint64_t w = r.words[x];
    if (a == 2) f.words[x] = up ? (w & Z_HIGH) >> 7 : (w & Z_LOW) << 7;
    if (a == 1) f.words[x] = up ? (w & Y_HIGH) >> 56 : (w & Y_LOW) << 56;
  }
  if (a == 0) f.words[up ? 0 : 7] = r.words[up ? 7 : 0];
  return f;
}

// The parts on face (a, up) of a cell: all of them when its neighbour there is whole.
PartMask face(int a, bool up) { return acrossFace(PartMask::every(), a, !up); }

}  // namespace

Reached floodFromBorder(const SplitRegion& split) {
  const CellRegion& region = split.region;
  const int64_t* n = region.n;
  Reached reached;
  reached.cells.assign(region.count(), 0);
  reached.parts.assign(split.slot_cell.size(), PartMask{});
  std::vector<std::size_t> whole;  // reached whole cells whose neighbours are not looked at yet
  std::vector<int32_t> pending;    // split cells whose reached parts grew
  std::vector<uint8_t> is_pending(split.slot_cell.size(), 0);

  const auto reachWhole = [&](std::size_t cell) {
    if (split.slot_of[cell] >= 0 || reached.cells[cell]) return;
    reached.cells[cell] = 1;
    whole.push_back(cell);
  };
  const auto reachParts = [&](std::size_t cell, const PartMask& seeds) {
    const auto s = static_cast<std::size_t>(split.slot_of[cell]);
    const PartMask fresh = seeds & ~split.blocked[s] & ~reached.parts[s];
    if (fresh.empty()) return;
    reached.parts[s] |= fresh;
    if (!is_pending[s]) is_pending[s] = 1, pending.push_back(static_cast<int32_t>(s));
  };
  // Calls visit(neighbour cell, axis, up) for the cells beside cell.
  const auto neighbours = [&](std::size_t cell, auto visit) {
    const auto q = static_cast<int64_t>(cell);
    const int64_t at[3] = {q / (n[1] * n[2]), q / n[2] % n[1], q % n[2]};
    for (int a = 0; a < 3; ++a)
      for (int up = 0; up < 2; ++up) {
        int64_t next[3] = {at[0], at[1], at[2]};
        next[a] += up ? 1 : -1;
        if (next[a] >= 0 && next[a] < n[a]) visit(region.at(next[0], next[1], next[2]), a, up == 1);
      }
  };

  for (int64_t i = 0; i < n[0]; ++i)
    for (int64_t j = 0; j < n[1]; ++j)
      for (int64_t k = 0; k < n[2]; ++k)
        if (i == 0 || j == 0 || k == 0 || i == n[0] - 1 || j == n[1] - 1 || k == n[2] - 1) reachWhole(region.at(i, j, k));
  while (!whole.empty() || !pending.empty()) {
    while (!whole.empty()) {
      const std::size_t cell = whole.back();
      whole.pop_back();
      neighbours(cell, [&](std::size_t next, int a, bool up) {
        if (split.slot_of[next] < 0)
          reachWhole(next);
        else
          reachParts(next, face(a, !up));  // the neighbour's face toward this cell
      });
    }
    if (pending.empty()) continue;
    const auto s = static_cast<std::size_t>(pending.back());
    pending.pop_back();
    is_pending[s] = 0;
    const PartMask open = ~split.blocked[s];
    PartMask r = reached.parts[s];
    for (PartMask g = grown(r, open); !(g == r); g = grown(r, open)) r = g;
    reached.parts[s] = r;
    neighbours(split.slot_cell[s], [&](std::size_t next, int a, bool up) {
      const PartMask across = acrossFace(r, a, up);
      if (across.empty()) return;
      if (split.slot_of[next] < 0)
        reachWhole(next);
      else
        reachParts(next, across);
    });
  }
  return reached;
}

}  // namespace plasmabox
