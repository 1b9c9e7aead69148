#pragma once

namespace plasmabox {

// Three doubles: a point (metres) or a vector (any unit). Plain data, 24 bytes,
// so arrays of Vec3 interleave x, y, z as the vector fields store them.
struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  // Component d (0 = x, 1 = y, 2 = z).
  constexpr double& operator[](int d) { return d == 0 ? x : (d == 1 ? y : z); }
  constexpr double operator[](int d) const { return d == 0 ? x : (d == 1 ? y : z); }

  constexpr Vec3& operator+=(const Vec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  constexpr Vec3& operator-=(const Vec3& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  friend constexpr bool operator==(const Vec3&, const Vec3&) = default;
};

constexpr Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator*(double s, const Vec3& v) { return {s * v.x, s * v.y, s * v.z}; }
constexpr double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace plasmabox
