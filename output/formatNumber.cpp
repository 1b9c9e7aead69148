#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "output/BlockWriter.h"

namespace plasmabox {

// printf "%g" is slow (locale, varargs) and std::to_chars with a precision is
// exact but general (about 70 ns a number). Most numbers of an output file are
// ordinary finite values whose six rounded digits one scaling by an exact power
// of ten settles; those take the short road below. Whatever that road cannot
// decide for certain (ties, values within 1e-9 of a tie, exponents beyond the
// table, zero, inf, nan, subnormals) goes to std::to_chars, which is exact.

namespace {

// 10^0 .. 10^22: every one of them is exactly representable as a double.
constexpr double EXACT_POW10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

char* generalFallback(char* out, double v) {
  return std::to_chars(out, out + MAX_NUMBER_CHARS, v, std::chars_format::general, 6).ptr;
}

// a * 10^p with one rounding: exact power, one multiplication or division.
double scaleByPow10(double a, int p) { return p >= 0 ? a * EXACT_POW10[p] : a / EXACT_POW10[-p]; }

// Writes the 6 digits of n (100000 <= n <= 999999).
void sixDigits(char* d, uint32_t n) {
  for (int q = 5; q >= 0; --q) {
    d[q] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
}

}  // namespace

char* formatNumber(char* out, double v) {
  const double a = std::fabs(v);
  // Decimal exponents -15 .. 20 keep p = 5 - e within the exact table.
  if (!(a >= 1e-15 && a < 1e20)) return generalFallback(out, v);

  // floor(log10 a) is floor(b log10 2) or one more, b the binary exponent;
  // 78913 / 2^18 is log10 2 to 6 digits, exact in this range of b.
  const int b = static_cast<int>((std::bit_cast<uint64_t>(a) >> 52) & 0x7ff) - 1023;
  int e = (b * 78913) >> 18;
  double t = scaleByPow10(a, 5 - e);
  if (t >= 1e6) {
    ++e;
    t = scaleByPow10(a, 5 - e);
  }
  if (t < 1e5 || t >= 1e6) return generalFallback(out, v);

  // t differs from the exact a * 10^(5-e) by at most half an ulp (< 1.2e-10 here),
  // so rounding t to the nearest integer is the exact rounding unless t lies
  // near a half.
  const double whole = std::floor(t);
  const double frac = t - whole;
  if (std::fabs(frac - 0.5) < 1e-9) return generalFallback(out, v);
  uint32_t n = static_cast<uint32_t>(whole) + (frac > 0.5 ? 1u : 0u);
  if (n == 1000000) {  // 999999.5 and up rounds into the next decade
    n = 100000;
    ++e;
  }
  char d[6];
  sixDigits(d, n);
  int last = 5;  // index of the last significant digit after dropping trailing zeros
  while (last > 0 && d[last] == '0') --last;

  char* o = out;
  if (v < 0) *o++ = '-';
  if (e >= -4 && e < 6) {
    if (e >= 0) {
      std::memcpy(o, d, static_cast<std::size_t>(e) + 1);
      o += e + 1;
      if (last > e) {
        *o++ = '.';
        std::memcpy(o, d + e + 1, static_cast<std::size_t>(last - e));
        o += last - e;
      }
    } else {
      *o++ = '0';
      *o++ = '.';
      for (int z = 0; z < -e - 1; ++z) *o++ = '0';
      std::memcpy(o, d, static_cast<std::size_t>(last) + 1);
      o += last + 1;
    }
    return o;
  }
  *o++ = d[0];
  if (last > 0) {
    *o++ = '.';
    std::memcpy(o, d + 1, static_cast<std::size_t>(last));
    o += last;
  }
  *o++ = 'e';
  *o++ = e < 0 ? '-' : '+';
  const int ae = e < 0 ? -e : e;  // 4 < ae <= 20 here: always two digits
  *o++ = static_cast<char>('0' + ae / 10);
  *o++ = static_cast<char>('0' + ae % 10);
  return o;
}

}  // namespace plasmabox
