#include "particles/maxwellian.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mesh/constants.h"
#include "particles/random.h"

namespace plasmabox {

namespace {

// Unnormalised distribution function of s = v / sigma for the flux-weighted
// drifting Maxwellian with a = u / sigma: the integral from 0 to s of
// t exp(-(t - a)^2 / 2) dt.
double crossingIntegral(double s, double a) {
  const double root_half_pi = std::sqrt(0.5 * std::numbers::pi);
  // erf((s - a)/sqrt2) + erf(a/sqrt2), written with erfc so that a large
  // negative drift does not cancel 1 against 1.
  const double erf_sum = std::erfc(-a / std::numbers::sqrt2) - std::erfc((s - a) / std::numbers::sqrt2);
  return std::exp(-0.5 * a * a) - std::exp(-0.5 * (s - a) * (s - a)) + a * root_half_pi * erf_sum;
}

}  // namespace

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
  const double a = u / sigma;
  const double target = rnd() * crossingIntegral(INFINITY, a);
  // The integrand is positive for s > 0, so the integral grows monotonically:
  // bracket the target, then bisect to the last bit (at most about 64 halvings).
  double lo = 0.0, hi = std::max(1.0, a) + 8.0;
  while (crossingIntegral(hi, a) < target) hi *= 2.0;
  for (int it = 0; it < 200 && lo < hi; ++it) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    if (crossingIntegral(mid, a) < target)
      lo = mid;
    else
      hi = mid;
  }
  return sigma * 0.5 * (lo + hi);
}

double oneSidedFlux(double n, double u, double sigma) {
  return n * (sigma / std::sqrt(2.0 * std::numbers::pi) * std::exp(-0.5 * u * u / (sigma * sigma)) +
              0.5 * u * std::erfc(-u / (std::numbers::sqrt2 * sigma)));
}

}  // namespace plasmabox
