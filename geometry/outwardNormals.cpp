#include "geometry/outwardNormals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>

namespace plasmabox {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double EPS = 2.220446049250313e-16;
constexpr int WINDING_PROBES = 16;  // corners of a shell tried before its nesting counts as unclear

using Position = std::array<double, 3>;

[[noreturn]] void refuse(const AmfObject& object, const std::string& why) {
  throw std::invalid_argument("object \"" + object.name + "\": " + why + ", so its outward side cannot be told");
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

Vec3 cornerOf(const Triangle& t, int k) { return k == 0 ? t.a : (k == 1 ? t.b : t.c); }

std::string text(const Position& p) {
  std::ostringstream s;
  s.precision(17);
  s << "(" << p[0] << ", " << p[1] << ", " << p[2] << ")";
  return s.str();
}

// One triangle's use of an edge between vertices lo < hi.
struct EdgeUse {
  uint32_t lo, hi;
  uint32_t triangle;
  bool forward;  // the triangle runs from lo to hi
};

// Six times the signed volume of the tetrahedron (r, a, b, c): the triangle's
// share of its shell's volume, taken about a point r near the shell so that
// far-off coordinates cost no precision.
double volume6(const Triangle& t, const Vec3& r) { return dot(t.a - r, cross(t.b - r, t.c - r)); }

// Solid angle (sr) of triangle (a, b, c) seen from p, signed by its corner
// order (Van Oosterom and Strackee).
double solidAngle(const Triangle& t, const Vec3& p) {
  const Vec3 a = t.a - p, b = t.b - p, c = t.c - p;
  const double la = std::sqrt(dot(a, a)), lb = std::sqrt(dot(b, b)), lc = std::sqrt(dot(c, c));
  const double numerator = dot(a, cross(b, c));
  const double denominator = la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la;
  return 2.0 * std::atan2(numerator, denominator);
}

struct Shell {
  std::vector<uint32_t> triangles;
  double volume6 = 0.0;  // with the propagated order
  Vec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
  int sign = 1;  // +1 keeps the propagated order, -1 turns the shell
};

bool boxInside(const Shell& inner, const Shell& outer) {
  for (int a = 0; a < 3; ++a)
    if (inner.lo[a] < outer.lo[a] || inner.hi[a] > outer.hi[a]) return false;
  return true;
}

}  // namespace

OutwardNormals outwardNormals(const AmfObject& object) {
  const std::vector<Triangle>& tris = object.triangles;
  const std::size_t count = tris.size();
  if (count > UINT32_MAX / 3) refuse(object, "it has too many triangles");
  for (const Triangle& t : tris)
    if (!finite(t.a) || !finite(t.b) || !finite(t.c)) refuse(object, "a corner is not a finite number");

  // Vertex numbers: corners at one position (+0 and -0 alike) share one.
  std::vector<Position> position(3 * count);
  for (std::size_t n = 0; n < 3 * count; ++n) {
    const Vec3 v = cornerOf(tris[n / 3], static_cast<int>(n % 3));
    position[n] = {v.x + 0.0, v.y + 0.0, v.z + 0.0};
  }
  std::vector<uint32_t> sorted(3 * count);
  std::iota(sorted.begin(), sorted.end(), 0u);
  std::sort(sorted.begin(), sorted.end(), [&](uint32_t x, uint32_t y) { return position[x] < position[y]; });
  std::vector<uint32_t> vertex(3 * count);
  std::vector<Position> vertex_position;
  for (std::size_t n = 0; n < sorted.size(); ++n) {
    if (n == 0 || position[sorted[n]] != position[sorted[n - 1]]) vertex_position.push_back(position[sorted[n]]);
    vertex[sorted[n]] = static_cast<uint32_t>(vertex_position.size() - 1);
  }

  // Edge uses of the triangles with three distinct corners; the others have
  // no area and no side.
  std::vector<EdgeUse> uses;
  uses.reserve(3 * count);
  for (uint32_t t = 0; t < count; ++t) {
    const uint32_t v[3] = {vertex[3 * t], vertex[3 * t + 1], vertex[3 * t + 2]};
    if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) continue;
    for (int k = 0; k < 3; ++k) {
      const uint32_t from = v[k], to = v[(k + 1) % 3];
      uses.push_back({std::min(from, to), std::max(from, to), t, from < to});
    }
  }
  std::sort(uses.begin(), uses.end(), [](const EdgeUse& x, const EdgeUse& y) {
    return x.lo != y.lo ? x.lo < y.lo : (x.hi != y.hi ? x.hi < y.hi : x.triangle < y.triangle);
  });

  // Neighbours across edges of exactly two triangles; `same` when both run the
  // edge the same way, so that one of them must be turned.
  constexpr uint32_t NONE = UINT32_MAX;
  std::vector<std::array<uint32_t, 3>> next(count, {NONE, NONE, NONE});
  std::vector<std::array<bool, 3>> same(count, {false, false, false});
  std::vector<uint8_t> degree(count, 0);
  bool consistent = true, manifold = true;
  for (std::size_t run = 0; run < uses.size();) {
    std::size_t end = run + 1;
    while (end < uses.size() && uses[end].lo == uses[run].lo && uses[end].hi == uses[run].hi) ++end;
    const std::size_t n = end - run;
    std::size_t forward = 0;
    for (std::size_t u = run; u < end; ++u) forward += uses[u].forward;
    if (n % 2 != 0)
      refuse(object, "its surface is not closed: the edge from " + text(vertex_position[uses[run].lo]) + " to " +
                         text(vertex_position[uses[run].hi]) + " belongs to " + std::to_string(n) + " triangle(s)");
    consistent = consistent && 2 * forward == n;
    if (n == 2) {
      const EdgeUse& x = uses[run];
      const EdgeUse& y = uses[run + 1];
      const bool s = x.forward == y.forward;
      next[x.triangle][degree[x.triangle]] = y.triangle;
      same[x.triangle][degree[x.triangle]++] = s;
      next[y.triangle][degree[y.triangle]] = x.triangle;
      same[y.triangle][degree[y.triangle]++] = s;
    } else {
      manifold = false;
    }
    run = end;
  }

  std::vector<bool> turn(count, false);  // final answer: reverse this triangle's corner order
  const Vec3 reference = count > 0 ? tris[0].a : Vec3{};
  if (!manifold) {
    if (!consistent)
      refuse(object, "its triangles disagree on their corner order and some edges belong to more than two triangles");
    double total = 0.0, magnitude = 0.0;
    for (const Triangle& t : tris) {
      const double v = volume6(t, reference);
      total += v;
      magnitude += std::fabs(v);
    }
    if (!(std::fabs(total) > 64.0 * EPS * magnitude)) refuse(object, "it encloses no volume");
    std::fill(turn.begin(), turn.end(), total < 0.0);
  } else {
    // Propagate the order over each shell from its first triangle.
    std::vector<int32_t> shell_of(count, -1);
    std::vector<Shell> shells;
    std::vector<bool> flip(count, false);  // relative to the shell's first triangle
    std::vector<uint32_t> queue;
    for (uint32_t start = 0; start < count; ++start) {
      if (shell_of[start] >= 0 || degree[start] == 0) continue;
      const int32_t id = static_cast<int32_t>(shells.size());
      shells.emplace_back();
      Shell& shell = shells.back();
      queue.assign(1, start);
      shell_of[start] = id;
      for (std::size_t q = 0; q < queue.size(); ++q) {
        const uint32_t t = queue[q];
        shell.triangles.push_back(t);
        for (int k = 0; k < degree[t]; ++k) {
          const uint32_t u = next[t][k];
          const bool wanted = flip[t] != same[t][k];
          if (shell_of[u] < 0) {
            shell_of[u] = id;
            flip[u] = wanted;
            queue.push_back(u);
          } else if (flip[u] != wanted) {
            refuse(object, "a shell of its surface cannot be given one side (it is one-sided, like a Moebius band)");
          }
        }
      }
      const Vec3 r = tris[start].a;
      double magnitude = 0.0;
      for (const uint32_t t : shell.triangles) {
        const double v = volume6(tris[t], r);
        shell.volume6 += flip[t] ? -v : v;
        magnitude += std::fabs(v);
        for (int k = 0; k < 3; ++k)
          for (int a = 0; a < 3; ++a) {
            shell.lo[a] = std::min(shell.lo[a], cornerOf(tris[t], k)[a]);
            shell.hi[a] = std::max(shell.hi[a], cornerOf(tris[t], k)[a]);
          }
      }
      if (!(std::fabs(shell.volume6) > 64.0 * EPS * magnitude)) refuse(object, "a shell of it encloses no volume");
      shell.sign = shell.volume6 > 0.0 ? 1 : -1;
    }
    // A shell inside an odd number of others bounds a cavity: turn it back.
    std::vector<int> nesting(shells.size(), 0);
    for (std::size_t c = 0; c < shells.size() && shells.size() > 1; ++c)
      for (std::size_t d = 0; d < shells.size(); ++d) {
        if (d == c || !boxInside(shells[c], shells[d])) continue;
        bool decided = false;
        for (int probe = 0; probe < WINDING_PROBES && !decided; ++probe) {
          const std::size_t k = static_cast<std::size_t>(probe) % shells[c].triangles.size();
          const Vec3 p = cornerOf(tris[shells[c].triangles[k]], probe % 3);
          double angle = 0.0;
          for (const uint32_t t : shells[d].triangles) {
            const double a = solidAngle(tris[t], p);
            angle += (flip[t] ? -a : a) * shells[d].sign;
          }
          const double winding = angle / (4.0 * PI);
          const double whole = std::round(winding);
          if (std::fabs(winding - whole) < 0.25) {
            decided = true;
            nesting[c] += static_cast<int>(std::fabs(whole)) % 2;
          }
        }
        if (!decided) refuse(object, "two of its shells touch, so which one holds the other is unclear");
      }
    for (uint32_t t = 0; t < count; ++t) {
      if (shell_of[t] < 0) continue;
      const std::size_t s = static_cast<std::size_t>(shell_of[t]);
      turn[t] = (flip[t] != (shells[s].sign < 0)) != (nesting[s] % 2 == 1);
    }
  }

  OutwardNormals out;
  out.normal.resize(count);
  out.area.resize(count);
  for (std::size_t t = 0; t < count; ++t) {
    const Vec3 n = cross(tris[t].b - tris[t].a, tris[t].c - tris[t].a);
    const double length = std::sqrt(dot(n, n));
    out.area[t] = 0.5 * length;
    if (length > 0.0) out.normal[t] = (turn[t] ? -1.0 / length : 1.0 / length) * n;
    out.reversed += turn[t];
  }
  return out;
}

}  // namespace plasmabox
