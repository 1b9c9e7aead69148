#include "geometry/TriangleTree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "geometry/floatBounds.h"

namespace plasmabox {

namespace {

constexpr std::size_t LEAF_TARGET = 4;  // never split a node this small
constexpr std::size_t MAX_LEAF = 8;     // a larger node is always split
constexpr int BINS = 16;
constexpr int SAH_DEPTH = 24;
// Cost of visiting a node against testing one item, in the heuristic's units.
constexpr double TRAVERSAL_COST = 1.0;
constexpr double INF = std::numeric_limits<double>::infinity();

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

struct Bounds {
  Vec3 lo{INF, INF, INF};
  Vec3 hi{-INF, -INF, -INF};
  void add(const Vec3& lo_in, const Vec3& hi_in) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], lo_in[a]);
      hi[a] = std::max(hi[a], hi_in[a]);
    }
  }
  // Half the surface area; 0 for an empty box.
  double halfArea() const {
    if (!(lo.x <= hi.x)) return 0.0;
    const Vec3 d = hi - lo;
    return d.x * d.y + d.y * d.z + d.z * d.x;
  }
};

struct Builder {
  std::span<const AxisBox> boxes;
  std::span<const Vec3> centres;
  TriangleTree& tree;

  // Bin of centre coordinate c along an axis with centres from lo, spread `scale` bins per metre.
  static int bin(double c, double lo, double scale) {
    const double x = (c - lo) * scale;
    if (!(x > 0.0)) return 0;
    return x < BINS - 1 ? static_cast<int>(x) : BINS - 1;
  }

  // Best surface-area split of ids [begin, end): axis and the number of bins
  // left of the cut, or axis -1 when keeping a leaf is cheaper.
  std::pair<int, int> bestSplit(std::size_t begin, std::size_t end, const Bounds& node, const Bounds& cent) const {
    const std::size_t n = end - begin;
    double best = static_cast<double>(n) * node.halfArea();  // the cost of a leaf
    if (n > MAX_LEAF) best = INF;                            // too large to stay a leaf
    std::pair<int, int> choice{-1, 0};
    for (int axis = 0; axis < 3; ++axis) {
      const double extent = cent.hi[axis] - cent.lo[axis];
      if (!(extent > 0.0)) continue;
      const double scale = BINS / extent;
      if (!std::isfinite(scale)) continue;
      Bounds bins[BINS];
      std::size_t counts[BINS] = {};
      for (std::size_t s = begin; s < end; ++s) {
        const uint32_t id = tree.order[s];
        const int b = bin(centres[id][axis], cent.lo[axis], scale);
        bins[b].add(boxes[id].lo, boxes[id].hi);
        ++counts[b];
      }
      // Sweep from the right for the area and count of each right part.
      double right_area[BINS];
      std::size_t right_count[BINS];
      Bounds right;
      std::size_t count = 0;
      for (int b = BINS - 1; b > 0; --b) {
        right.add(bins[b].lo, bins[b].hi);
        count += counts[b];
        right_area[b] = right.halfArea();
        right_count[b] = count;
      }
      Bounds left;
      count = 0;
      for (int cut = 1; cut < BINS; ++cut) {
        left.add(bins[cut - 1].lo, bins[cut - 1].hi);
        count += counts[cut - 1];
        if (count == 0 || right_count[cut] == 0) continue;
        const double cost = TRAVERSAL_COST * node.halfArea() + static_cast<double>(count) * left.halfArea() +
                            static_cast<double>(right_count[cut]) * right_area[cut];
        if (cost < best) {
          best = cost;
          choice = {axis, cut};
        }
      }
    }
    return choice;
  }

  int32_t build(std::size_t begin, std::size_t end, int depth) {
    Bounds node, cent;
    for (std::size_t s = begin; s < end; ++s) {
      const uint32_t id = tree.order[s];
      node.add(boxes[id].lo, boxes[id].hi);
      cent.add(centres[id], centres[id]);
    }
    const int32_t index = static_cast<int32_t>(tree.nodes.size());
    TreeNode made{};
    for (int a = 0; a < 3; ++a) {
      made.lo[a] = floatBelow(node.lo[a]);
      made.hi[a] = floatAbove(node.hi[a]);
    }
    tree.nodes.push_back(made);
    const std::size_t n = end - begin;
    const auto leaf = [&] {
      tree.nodes[static_cast<std::size_t>(index)].first = static_cast<int32_t>(begin);
      tree.nodes[static_cast<std::size_t>(index)].count = static_cast<int32_t>(n);
      return index;
    };
    if (n <= LEAF_TARGET) return leaf();
    int axis = 0;
    for (int a = 1; a < 3; ++a)
      if (cent.hi[a] - cent.lo[a] > cent.hi[axis] - cent.lo[axis]) axis = a;
    const auto first = tree.order.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto last = tree.order.begin() + static_cast<std::ptrdiff_t>(end);
    // Where the run is cut: by the area heuristic near the root; by the median
    // deeper down or when the heuristic finds no cut (the depth below then
    // stays within log2(n) + 1); in the middle of the run as it stands when
    // every centre sits at one point, so that no cut separates them.
    const std::size_t middle = begin + n / 2;
    const bool spread = cent.hi[axis] > cent.lo[axis];
    if (!spread) return n <= MAX_LEAF ? leaf() : split(index, begin, middle, end, depth);
    if (depth < SAH_DEPTH) {
      // Copies, not structured bindings: some compilers cannot capture those.
      const auto best = bestSplit(begin, end, node, cent);
      const int split_axis = best.first;
      const auto cut = best.second;
      if (split_axis < 0 && n <= MAX_LEAF) return leaf();
      if (split_axis >= 0) {
        const double lo = cent.lo[split_axis];
        const double scale = BINS / (cent.hi[split_axis] - lo);
        const auto cut_at =
            std::partition(first, last, [&](uint32_t id) { return bin(centres[id][split_axis], lo, scale) < cut; });
        return split(index, begin, begin + static_cast<std::size_t>(cut_at - first), end, depth);
      }
    }
    std::nth_element(first, tree.order.begin() + static_cast<std::ptrdiff_t>(middle), last,
                     [&](uint32_t x, uint32_t y) { return centres[x][axis] < centres[y][axis]; });
    return split(index, begin, middle, end, depth);
  }

  // Builds the two children of node `index` over [begin, mid) and [mid, end).
  int32_t split(int32_t index, std::size_t begin, std::size_t mid, std::size_t end, int depth) {
    build(begin, mid, depth + 1);  // lands at index + 1
    const int32_t second = build(mid, end, depth + 1);
    tree.nodes[static_cast<std::size_t>(index)].first = second;
    return index;
  }
};

}  // namespace

TriangleTree buildTriangleTree(std::span<const AxisBox> boxes, std::span<const Vec3> centres) {
  if (boxes.size() != centres.size())
    throw std::invalid_argument("buildTriangleTree: " + std::to_string(boxes.size()) + " boxes but " +
                                std::to_string(centres.size()) + " centres");
  if (boxes.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
    throw std::invalid_argument("buildTriangleTree: more than 2^31 - 1 items");
  for (std::size_t n = 0; n < boxes.size(); ++n)
    if (!finite(boxes[n].lo) || !finite(boxes[n].hi) || !finite(centres[n]))
      throw std::invalid_argument("buildTriangleTree: box or centre of item " + std::to_string(n) + " is not finite");
  TriangleTree tree;
  if (boxes.empty()) return tree;
  tree.order.resize(boxes.size());
  for (std::size_t n = 0; n < boxes.size(); ++n) tree.order[n] = static_cast<uint32_t>(n);
  tree.nodes.reserve(2 * boxes.size() / LEAF_TARGET + 2);
  Builder{boxes, centres, tree}.build(0, boxes.size(), 0);
  return tree;
}

}  // namespace plasmabox
