#pragma once

#include <cmath>
#include <numbers>

#include "mesh/Vec3.h"

namespace plasmabox {

// Two unit vectors across the unit vector n, and across each other: the first
// from n and the axis n leans on least.
inline void tangentsOf(const Vec3& n, Vec3& t1, Vec3& t2) {
  const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  const Vec3 axis = ax <= ay && ax <= az ? Vec3{1, 0, 0} : ay <= az ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
  t1 = cross(n, axis);
  t1 = (1.0 / std::sqrt(dot(t1, t1))) * t1;
  t2 = cross(n, t1);
}

// The velocity (m/s) of an electron leaving a surface of outward unit normal
// n, from the flux of a half-Maxwellian of thermal speed sigma (m/s) through
// it (Lambertian: the outgoing directions weighted by cos(theta)): along n the
// speed sigma sqrt(-2 ln(1 - u)) (one draw), then across n, along each of
// tangentsOf(n) in turn, sigma times a normal number (Box-Muller, two draws
// each). uniform() gives the draws, uniform on [0, 1). The mean kinetic
// energy is 2 kT.
template <class Uniform>
Vec3 lambertianVelocity(const Vec3& n, double sigma, Uniform&& uniform) {
  const double along = sigma * std::sqrt(-2.0 * std::log(1.0 - uniform()));
  double across[2];
  for (double& a : across) {
    const double u1 = uniform(), u2 = uniform();
    a = sigma * std::sqrt(-2.0 * std::log(1.0 - u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }
  Vec3 t1, t2;
  tangentsOf(n, t1, t2);
  return along * n + across[0] * t1 + across[1] * t2;
}

}  // namespace plasmabox
