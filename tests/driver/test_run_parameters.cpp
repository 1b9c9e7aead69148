#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <tuple>

#include "driver/RunParameters.h"
#include "mesh/constants.h"
#include "mesh/conversions.h"
#include "support/command_line.h"

using namespace plasmabox;

namespace {

// Runs f and returns its exception message, or "" when it did not throw.
template <class F>
std::string messageOf(F f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(Conversions, FollowTheStandardLibrary) {
  const struct {
    const char* text;
    int32_t value;
    const char* error;
  } ints[] = {
      {"12abc", 12, ""}, {"  -7", -7, ""}, {"0x1A", 0, ""}, {"-2147483648", INT32_MIN, ""},
      {"  ", 0, "invalid stoi argument"}, {"-", 0, "invalid stoi argument"},
  };
  for (const auto& c : ints) EXPECT_EQ(messageOf([&] { EXPECT_EQ(convertInt(c.text), c.value) << c.text; }), c.error) << c.text;
  EXPECT_EQ(convertDouble("1.5e3xyz"), 1500.0);
  EXPECT_EQ(convertDouble(" \t.5"), 0.5);
  EXPECT_TRUE(std::isnan(convertDouble("nan")));
  EXPECT_EQ(messageOf([] { convertDouble("e5"); }), "invalid stod argument");
  EXPECT_EQ(messageOf([] { convertDouble("1e-999"); }), "stod argument out of range");
  EXPECT_THROW(convertInt("2147483648"), std::out_of_range);
}

TEST(RunParameters, ReadsEveryPositionIntoItsParameter) {
  CommandLine cl;
  cl.set(1, "7").set(4, "-1").set(9, "2.5").set(10, "scene.amf").set(25, "run/a_");
  cl.set(26, "16abc").set(31, "-7").set(33, "2").set(44, "0.125").set(52, "1e-9");
  const RunParameters p = *parseRunParameters(cl.args);
  EXPECT_TRUE(p.ni == 7 && p.x0.x == -1.0 && p.xm.z == 2.5 && p.ion_mass_amu == 16.0);
  EXPECT_TRUE(p.amf_path == "scene.amf" && p.csv_prefix == "run/a_");
  EXPECT_TRUE(p.output_interval == -7 && p.ion_inject_face == 2 && p.ion_inject_2.z == 0.125 && p.mag_tol == 1e-9);
  EXPECT_EQ(p.remanence, (std::vector<double>{0.5, 0.7}));
  cl.args.resize(53);
  cl.set(53, "0");
  EXPECT_TRUE(parseRunParameters(cl.args)->remanence.empty());
}

// The remanence override touches only the first two existing entries.
TEST(RunParameters, RemanenceOverrideAndMagnetisationTableWhereTheLastTupleWins) {
  for (auto [given, expected] : {std::pair{std::vector<double>{0.5, 0.7, 0.9}, std::vector<double>{1.2, 1.2, 0.9}},
                                 {{0.3}, {1.2}}, {{}, {}}}) {
    overrideRemanence(given, 1.2);
    EXPECT_EQ(given, expected);
  }
  CommandLine cl;  // N = 3: remanence, then three tuples
  cl.args.resize(52);
  for (const char* a : {"3", "0.5", "0.7", "0.5", "m0", "0", "0", "1", "m1", "1", "0", "0", "m2", "1", "0", "0"})
    cl.args.push_back(a);
  RunParameters p = *parseRunParameters(cl.args);
  overrideRemanence(p.remanence, 1.2);
  auto table = buildMagnetisationTable(cl.args, p.remanence);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table["m0"], (Vec3{0, 0, 1.2 * 1.0 / MU_0}));
  EXPECT_NEAR(table["m2"].x, 397887.36, 0.01);
  cl.args[64] = "m0";  // third tuple now names m0 again
  table = buildMagnetisationTable(cl.args, p.remanence);
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table["m0"], (Vec3{0.5 / MU_0, 0, 0}));
}

TEST(RunParameters, InjectModeDecoding) {
  // Mode: ions, electrons; bit 0 ions, bit 1 electrons, anything outside 0..3 neither.
  for (const auto& [mode, ions, electrons] : {std::tuple{0, false, false}, {1, true, false}, {2, false, true},
                                              {3, true, true}, {-1, false, false}, {5, false, false}})
    EXPECT_TRUE(injectsIons(mode) == ions && injectsElectrons(mode) == electrons) << mode;
}

}  // namespace
