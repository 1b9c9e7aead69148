#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "output/BlockWriter.h"

using namespace plasmabox;

namespace {

std::string viaPrintf(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The files must read the same as printf "%g" (and so a default stream) would write them.
void expectPrintfText(double v) {
  char buf[MAX_NUMBER_CHARS];
  ASSERT_EQ(std::string(buf, formatNumber(buf, v)), viaPrintf(v)) << "bits of " << v;
}

TEST(FormatNumber, MatchesPrintfOnBoundaryRandomAndMidpointValues) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {0.0, -0.0, 5e15, 1e-4, 9.99995e-5, 0.0001234565, 1e-5, 99999.5, 999999.5, 1e6, 1234565.0,
                   -1.7976931348623157e308, 4.9e-324, inf, -inf, nan, -nan, 0.1 + 0.2, 9.9999949999, 1.000005})
    expectPrintfText(v);
  std::mt19937_64 gen(2024);
  for (int n = 0; n < 30000; ++n) {  // every kind of double, subnormals and NaN payloads included
    const uint64_t bits = gen();
    double v;
    expectPrintfText((std::memcpy(&v, &bits, sizeof v), v));
  }
  // Near the 6-digit rounding midpoints, where a one-ulp error changes the text.
  std::uniform_int_distribution<int> digits(100000, 999999), exponent(-30, 30);
  for (int n = 0; n < 20000; ++n) {
    const double v = (digits(gen) + 0.5) * std::pow(10.0, exponent(gen));
    for (double w : {v, -std::nextafter(v, 0.0), std::nextafter(v, 1e308)}) expectPrintfText(w);
  }
}

TEST(BlockWriter, SmallBlocksOversizedTextAndIntegersArriveInOrder) {
  std::ostringstream out;
  {
    BlockWriter w(out, 1);  // rounded up to the minimum block
    for (int q = 0; q < 50; ++q) w.number(q * 0.5), w.put(' ');
    w.text(std::string(1000, 'x'));
    w.number(std::numeric_limits<int64_t>::min());
  }
  std::string expect;
  for (int q = 0; q < 50; ++q) expect += viaPrintf(q * 0.5) + " ";
  EXPECT_EQ(out.str(), expect + std::string(1000, 'x') + "-9223372036854775808");
}

}  // namespace
