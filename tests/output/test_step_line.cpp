#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "output/stepLine.h"

namespace {

// The first line with species sets std::cout to 3 significant digits for good; none leaves it alone.
TEST(StepLine, ShowsEachSpeciesCountAndSwitchesToThreeDigitsForGood) {
  World world(3, 3, 3);
  std::vector<Species> none, species;
  species.reserve(2);
  species.emplace_back("O+", 16 * 1.66e-27, 1.6e-19, 1, world);
  species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, world);
  species[0].particles.resize(120);
  std::ostringstream text;
  std::streambuf* const old_buf = std::cout.rdbuf(text.rdbuf());
  const std::streamsize old_precision = std::cout.precision();
  world.ts = 0;
  printStepLine(world, none);
  std::cout << 1.23456 << "\n";
  world.ts = 40;
  printStepLine(world, species);
  std::cout << 1.23456 << " " << 0.000123456 << "\n";
  std::cout.rdbuf(old_buf), std::cout.precision(old_precision);
  EXPECT_EQ(text.str(), "ts: 0\n1.23456\nts: 40\t O+:120\t e-:0\n1.23 0.000123\n");
}

}  // namespace
