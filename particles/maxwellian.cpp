#include "particles/maxwellian.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mesh/constants.h"
#include "particles/random.h"

namespace plasmabox {

double thermalSpeed(double temperature_ev, double mass) { return std::sqrt(temperature_ev * QE / mass); }

double normalDraw() {
  const double u1 = rnd();
  const double u2 = rnd();
  return std::sqrt(-2.0 * std::log(1.0 - u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

Vec3 maxwellianVelocity(double sigma) {
  Vec3 v;
  v.x = sigma * normalDraw();
  v.y = sigma * normalDraw();
  v.z = sigma * normalDraw();
  return v;
}

double crossingNormalSpeed(double u, double sigma) {
  const double a = u / sigma;  // the drift in thermal speeds
  if (!std::isfinite(a)) return a > 0.0 ? u : 0.0;
  if (a == 0.0) return sigma * std::sqrt(-2.0 * std::log(1.0 - rnd()));
  // Each method below accepts a trial with probability at least 0.34; the
  // limit only bounds the loop should the random source ever misbehave.
  constexpr int MAX_TRIALS = 100000;
  double s = 0.0;  // the speed in thermal speeds
  if (a > 0.0) {
    // With y = s - a the density is (y + a) phi(y) for y > -a (phi the standard
    // normal density). It lies below the sum of y phi(y) for y > 0 (a Rayleigh
    // density, of mass phi(0)) and a phi(y) (a normal density, of mass a); the
    // two agree for y >= 0, and a trial of the second with -a < y < 0 is kept
    // with probability (y + a) / a, one with y <= -a never.
    const double rayleigh = 1.0 / std::sqrt(2.0 * std::numbers::pi);
    const double normal = a;
    for (int trial = 0; trial < MAX_TRIALS; ++trial) {
      if (rnd() * (rayleigh + normal) < rayleigh) return sigma * (a + std::sqrt(-2.0 * std::log(1.0 - rnd())));
      const double y = normalDraw();
      if (!(y > -a)) continue;
      s = a + y;
      if (y >= 0.0 || rnd() * a < s) return sigma * s;
    }
    return sigma * s;
  }
  const double b = -a;  // the drift away from the plane, in thermal speeds
  if (b < 1.0) {
    // With y = s + b the density is (y - b) phi(y) for y > b: the Rayleigh
    // tail y phi(y) beyond b, drawn by its inverse, kept with probability (y - b) / y.
    for (int trial = 0; trial < MAX_TRIALS; ++trial) {
      const double y = std::sqrt(b * b - 2.0 * std::log(1.0 - rnd()));
      s = y - b;
      if (rnd() * y < s) return sigma * s;
    }
    return sigma * s;
  }
  // Far into the tail the density s exp(-b s) exp(-s^2 / 2) is nearly the gamma
  // density s exp(-b s) (a sum of two exponential draws), kept with probability exp(-s^2 / 2).
  for (int trial = 0; trial < MAX_TRIALS; ++trial) {
    s = -(std::log(1.0 - rnd()) + std::log(1.0 - rnd())) / b;
    if (rnd() < std::exp(-0.5 * s * s)) return sigma * s;
  }
  return sigma * s;
}

double oneSidedFlux(double n, double u, double sigma) {
  return n * (sigma / std::sqrt(2.0 * std::numbers::pi) * std::exp(-0.5 * u * u / (sigma * sigma)) +
              0.5 * u * std::erfc(-u / (std::numbers::sqrt2 * sigma)));
}

}  // namespace plasmabox
