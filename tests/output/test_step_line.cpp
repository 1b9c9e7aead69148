#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "output/stepLine.h"

using namespace plasmabox;

namespace {

// Each species' count after a tab and a blank; the stream's number format is left alone.
TEST(StepLine, ShowsEachSpeciesCountAndLeavesTheStreamFormatAlone) {
  World world(3, 3, 3);
  std::vector<Species> none, species;
  species.reserve(2);
  species.emplace_back("O+", 16 * 1.66e-27, 1.6e-19, 1, world);
  species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, world);
  species[0].particles.resize(120);
  std::ostringstream text;
  std::streambuf* const old_buf = std::cout.rdbuf(text.rdbuf());
  world.ts = 0;
  printStepLine(world, none);
  world.ts = 40;
  printStepLine(world, species);
  std::cout << 1.23456 << "\n";
  std::cout.rdbuf(old_buf);
  EXPECT_EQ(text.str(), "ts: 0\nts: 40\t O+:120\t e-:0\n1.23456\n");
}

}  // namespace
