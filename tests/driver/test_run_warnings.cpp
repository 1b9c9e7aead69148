// The set-up's warnings for particles too fast for the push: the thresholds
// worked out from physics, for any population.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "driver/runWarnings.h"
#include "mesh/Grid.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

constexpr double ELECTRON = 9.10938215e-31;  // kg
constexpr double OXYGEN = 16 * 1.660538921e-27;  // kg

// The lines that contain part.
std::size_t linesWith(const std::vector<std::string>& lines, const std::string& part) {
  std::size_t n = 0;
  for (const std::string& l : lines) n += l.find(part) != std::string::npos;
  return n;
}

TEST(FastParticleWarnings, ATenthOfTheSpeedOfLightAndOneCellPerStep) {
  Grid grid(5, 5, 5);
  grid.setExtents({0, 0, 0}, {0.04, 0.04, 0.04});  // cells of 1 cm
  // eV at which sqrt(T e / m) is c / 10 = 3e7 m/s, for an electron: 5116.9 eV.
  const double tenth_c = 9e14 * ELECTRON / 1.602176565e-19;
  const double thermal_1ev = std::sqrt(1.602176565e-19 / ELECTRON);  // m/s, 419,382
  const struct {
    const char* what;
    double mass, temperature;
    Vec3 drift;
    double dt;
    std::size_t relativistic, coarse;  // lines of each kind
    const char* line;                  // a line expected in full, or ""
  } cases[] = {
      {"just below c/10", ELECTRON, 0.99 * tenth_c, {}, 1e-15, 0, 0, ""},
      {"just above c/10", ELECTRON, 1.01 * tenth_c, {}, 1e-15, 1, 0, "have a thermal speed of"},
      {"an oxygen ion at the same temperature", OXYGEN, 1.01 * tenth_c, {}, 1e-15, 0, 0, ""},
      {"a drift of 3.1e7 m/s", ELECTRON, 0, {0, -3.1e7, 0}, 1e-15, 1, 0, "drift at 3.1e+07 m/s, above a tenth"},
      {"2e7 m/s along two axes: 2.8e7 m/s", ELECTRON, 0, {2e7, 2e7, 0}, 1e-15, 0, 0, ""},
      {"thermal motion just under a cell", ELECTRON, 1.0, {}, 0.99 * 0.01 / thermal_1ev, 0, 0, ""},
      {"thermal motion just over a cell", ELECTRON, 1.0, {}, 1.01 * 0.01 / thermal_1ev, 0, 1,
       "at 1 eV cross 1.01 cells per step at their thermal speed"},
      {"a drift across 2.5 cells along z", OXYGEN, 0, {0, 1e3, -2.5e4}, 1e-6, 0, 1,
       "cross 2.5 cells per step along z (drift -25000 m/s, dt 1e-06 s, spacing 0.01 m)"},
      {"cold and at rest", ELECTRON, 0, {}, 1.0, 0, 0, ""},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines =
        fastParticleWarnings("loaded e-", c.mass, c.temperature, c.drift, grid, c.dt);
    EXPECT_EQ(linesWith(lines, "the push is not relativistic"), c.relativistic) << c.what;
    EXPECT_EQ(linesWith(lines, "the push samples the field too coarsely"), c.coarse) << c.what;
    EXPECT_EQ(lines.size(), c.relativistic + c.coarse) << c.what;
    EXPECT_TRUE(!*c.line || linesWith(lines, c.line) == 1u) << c.what << ": " << (lines.empty() ? "" : lines[0]);
    for (const std::string& l : lines) EXPECT_EQ(l.rfind("warning: loaded e- ", 0), 0u) << l;
  }
}

// A run says it once per population, at set-up.
TEST(FastParticleWarnings, ARunSaysThemOnceOnStandardError) {
  const TempFolder dir("fast_warning");
  const ProgramResult r = runProgram(
      PLASMABOX_BINARY, CommandLine().set(29, "1e9").set(32, "2").with({"temperature_e=6000", "max_step=2"}),
      dir.path.string());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> hot_surroundings = {"ambient_density=1e6", "ambient_temperature_e=6000",
                                                     "ambient_temperature_i=0.1", "max_step=1"};
  const ProgramResult ambient = runProgram(PLASMABOX_BINARY, CommandLine().with(hot_surroundings), dir.path.string());
  EXPECT_EQ(ambient.exit_code, 0) << ambient.err;
  for (const auto& [population, err] :
       {std::pair{"loaded e-", &r.err}, {"injected e-", &r.err}, {"ambient e-", &ambient.err}}) {
    const std::string line = std::string("warning: ") + population + " at 6000 eV have a thermal speed of 3.2";
    const std::size_t at = err->find(line);
    EXPECT_NE(at, std::string::npos) << *err;
    EXPECT_EQ(err->find(line, at + 1), std::string::npos) << *err;
  }
  EXPECT_EQ(ambient.err.find("ambient O+"), std::string::npos) << ambient.err;  // 0.1 eV ions: nothing to say
}

}  // namespace
