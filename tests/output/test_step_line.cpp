#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "output/stepLine.h"

namespace {

// Redirects std::cout into a string for the test's lifetime and restores the
// buffer and the precision afterwards, so other tests see the defaults.
struct CoutCapture {
  std::ostringstream text;
  std::streambuf* old_buf = std::cout.rdbuf(text.rdbuf());
  std::streamsize old_precision = std::cout.precision();
  ~CoutCapture() {
    std::cout.rdbuf(old_buf);
    std::cout.precision(old_precision);
  }
};

TEST(StepLine, ShowsEachSpeciesCountAndSwitchesToThreeDigitsForGood) {
  World world(3, 3, 3);
  world.ts = 40;
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 16 * 1.66e-27, 1.6e-19, 1, world);
  species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, world);
  species[0].particles.resize(120);

  CoutCapture cap;
  std::cout << 1.23456 << "\n";
  printStepLine(world, species);
  std::cout << 1.23456 << " " << 0.000123456 << "\n";
  EXPECT_EQ(cap.text.str(), "1.23456\nts: 40\t O+:120\t e-:0\n1.23 0.000123\n");
}

TEST(StepLine, NoSpeciesLeavesThePrecisionAlone) {
  World world(3, 3, 3);
  world.ts = 0;
  const std::vector<Species> none;
  CoutCapture cap;
  printStepLine(world, none);
  std::cout << 1.23456 << "\n";
  EXPECT_EQ(cap.text.str(), "ts: 0\n1.23456\n");
}

}  // namespace
