#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "output/BlockWriter.h"

namespace {

std::string viaFormatNumber(double v) {
  char buf[MAX_NUMBER_CHARS];
  return std::string(buf, formatNumber(buf, v));
}

std::string viaPrintf(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string viaStream(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

// Formatting must give the text printf "%g" and a default stream give, for
// every kind of double: the files must read the same whichever way they are made.
void expectSameText(double v) {
  const std::string got = viaFormatNumber(v);
  ASSERT_EQ(got, viaPrintf(v)) << "bits of " << v;
  ASSERT_EQ(got, viaStream(v));
}

TEST(FormatNumber, MatchesPrintfOnSpecialAndBoundaryValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double values[] = {0.0, -0.0, 1.0, -1.0, 0.5, 5e15, -7.5, 1e-4, 9.99995e-5, 0.0001234565,
                           1e-5, 99999.5, 999999.0, 999999.5, 1e6, 123456.5, 1234565.0, 1e100,
                           -1.7976931348623157e308, 2.2250738585072014e-308, 4.9e-324, -4.9e-324,
                           1.0 / 3.0, 2.0 / 3.0, 112940906645.46124, 9e16, inf, -inf, nan, -nan,
                           0.1 + 0.2, 1e21, 1e-7, 100000.0, 12345.65, 1.000005};
  for (double v : values) expectSameText(v);
  EXPECT_EQ(viaFormatNumber(5e15), "5e+15");
  EXPECT_EQ(viaFormatNumber(-0.0), "-0");
  EXPECT_EQ(viaFormatNumber(123456.0), "123456");
  EXPECT_EQ(viaFormatNumber(1234567.0), "1.23457e+06");
  EXPECT_EQ(viaFormatNumber(0.00012), "0.00012");
}

TEST(FormatNumber, MatchesPrintfOnRandomBitPatternsAndDecimalMidpoints) {
  std::mt19937_64 gen(2024);
  for (int n = 0; n < 100000; ++n) {
    const uint64_t bits = gen();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    expectSameText(v);
  }
  // Values near the 6-digit rounding midpoints, where a sloppy formatter slips.
  std::uniform_int_distribution<int> digits(100000, 999999), exponent(-30, 30);
  for (int n = 0; n < 50000; ++n) {
    const double v = (digits(gen) + 0.5) * std::pow(10.0, exponent(gen));
    expectSameText(v);
    expectSameText(std::nextafter(v, 0.0));
    expectSameText(-std::nextafter(v, 1e308));
  }
}

TEST(FormatNumber, MatchesPrintfOnOrdinaryValuesOfEveryMagnitude) {
  // The values output files are made of: full-precision doubles from 1e-20 to
  // 1e25, both signs, and round values near each power of ten.
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  for (int e = -20; e <= 25; ++e) {
    const double p = std::pow(10.0, e);
    for (int n = 0; n < 4000; ++n) {
      const double v = mantissa(gen) * p;
      expectSameText(v);
      expectSameText(-v);
    }
    for (double m : {1.0, 9.999995, 9.9999949999, 9.99999, 5.0, 2.5, 1.000005, 1.0000049})
      for (double w : {m * p, std::nextafter(m * p, 0.0), std::nextafter(m * p, 1e300)}) expectSameText(w);
  }
}

TEST(FormatNumber, IntegersInPlainDecimal) {
  char buf[MAX_NUMBER_CHARS];
  for (int64_t v : {int64_t{0}, int64_t{-1}, int64_t{2147483647}, std::numeric_limits<int64_t>::min()})
    EXPECT_EQ(std::string(buf, formatNumber(buf, v)), std::to_string(v));
}

TEST(BlockWriter, SmallBlocksAndOversizedTextArriveInOrder) {
  std::ostringstream out;
  {
    BlockWriter w(out, 1);  // rounded up to the minimum block
    for (int q = 0; q < 50; ++q) {
      w.number(q * 0.5);
      w.put(' ');
    }
    w.text(std::string(1000, 'x'));
    w.number(int64_t{-3});
  }
  std::string expect;
  for (int q = 0; q < 50; ++q) expect += viaPrintf(q * 0.5) + " ";
  expect += std::string(1000, 'x') + "-3";
  EXPECT_EQ(out.str(), expect);
}

}  // namespace
