#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "driver/RunParameters.h"
#include "mesh/constants.h"
#include "mesh/conversions.h"
#include "support/command_line.h"

namespace {

struct IntCase {
  const char* text;
  int32_t value;
  const char* error;  // expected message start, or nullptr
};

TEST(Conversions, IntegersFollowTheStandardLibrary) {
  const IntCase cases[] = {
      {"12", 12, nullptr},          {"12abc", 12, nullptr},
      {"  -7", -7, nullptr},        {"+3", 3, nullptr},
      {"0x1A", 0, nullptr},         {"2147483647", 2147483647, nullptr},
      {"-2147483648", INT32_MIN, nullptr},
      {"abc", 0, "invalid stoi argument"},         {"", 0, "invalid stoi argument"},
      {"  ", 0, "invalid stoi argument"},          {"-", 0, "invalid stoi argument"},
      {"2147483648", 0, "stoi argument out of range"},
      {"-99999999999999999999", 0, "stoi argument out of range"},
  };
  for (const IntCase& c : cases) {
    if (!c.error) {
      EXPECT_EQ(convertInt(c.text), c.value) << c.text;
      continue;
    }
    try {
      convertInt(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.error) << c.text;
    }
  }
  EXPECT_THROW(convertInt("abc"), std::invalid_argument);
  EXPECT_THROW(convertInt("2147483648"), std::out_of_range);
}

TEST(Conversions, RealsFollowTheStandardLibrary) {
  EXPECT_EQ(convertDouble("1.5e3xyz"), 1500.0);
  EXPECT_EQ(convertDouble(" \t-0.25"), -0.25);
  EXPECT_EQ(convertDouble(".5"), 0.5);
  EXPECT_TRUE(std::isinf(convertDouble("inf")));
  EXPECT_TRUE(std::isnan(convertDouble("nan")));
  const struct {
    const char* text;
    const char* error;
  } failures[] = {{"x1", "invalid stod argument"},
                  {"", "invalid stod argument"},
                  {"e5", "invalid stod argument"},
                  {"1e999", "stod argument out of range"},
                  {"-1e999", "stod argument out of range"},
                  {"1e-999", "stod argument out of range"}};
  for (const auto& c : failures) {
    try {
      convertDouble(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.error) << c.text;
    }
  }
  EXPECT_THROW(convertLongDouble("zz"), std::invalid_argument);
  EXPECT_THROW(convertLongDouble("1e99999"), std::out_of_range);
}

TEST(RunParameters, ReadsEveryPositionIntoItsParameter) {
  CommandLine cl;
  cl.set(1, "7").set(3, "9").set(4, "-1").set(9, "2.5").set(10, "scene.amf").set(25, "run/a_");
  cl.set(26, "16abc").set(31, "-7").set(33, "2").set(44, "0.125").set(52, "1e-9");
  const RunParameters p = *parseRunParameters(cl.args);
  EXPECT_EQ(p.ni, 7);
  EXPECT_EQ(p.nk, 9);
  EXPECT_EQ(p.x0.x, -1.0);
  EXPECT_EQ(p.xm.x, 0.04);
  EXPECT_EQ(p.xm.z, 2.5);
  EXPECT_EQ(p.amf_path, "scene.amf");
  EXPECT_EQ(p.csv_prefix, "run/a_");
  EXPECT_EQ(p.ion_mass_amu, 16.0);
  EXPECT_EQ(p.output_interval, -7);
  EXPECT_EQ(p.ion_inject_face, 2);
  EXPECT_EQ(p.ion_inject_2.z, 0.125);
  EXPECT_EQ(p.mag_tol, 1e-9);
  EXPECT_EQ(p.num_objects, 2);
  EXPECT_EQ(p.remanence, (std::vector<double>{0.5, 0.7}));
}

TEST(RunParameters, CountChecks) {
  CommandLine cl;
  std::vector<std::string> a = cl.args;
  a.resize(34);
  EXPECT_FALSE(parseRunParameters(a).has_value());  // short: silent exit 1
  a = cl.args;
  a.resize(40);
  EXPECT_THROW(parseRunParameters(a), std::invalid_argument);
  a = cl.args;
  a.pop_back();  // last tuple incomplete
  try {
    parseRunParameters(a);
    ADD_FAILURE();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("expected 63 arguments"), std::string::npos) << e.what();
  }
  a = cl.args;
  a[52] = "-1";
  EXPECT_THROW(parseRunParameters(a), std::invalid_argument);
  a = cl.args;
  a[52] = "0";
  a.resize(53);
  EXPECT_TRUE(parseRunParameters(a)->remanence.empty());
}

TEST(RunParameters, ConversionErrorsNameThePositionAndText) {
  const struct {
    int position;
    const char* text;
    const char* message;
  } cases[] = {
      {1, "abc", "invalid stoi argument (argument 1: \"abc\")"},
      {5, "1e999", "stod argument out of range (argument 5: \"1e999\")"},
      {23, "x", "invalid stod argument (argument 23: \"x\")"},
      {24, "y", "invalid stoi argument (argument 24: \"y\")"},
      {53, "99999999999", "stoi argument out of range (argument 53: \"99999999999\")"},
      {55, "none", "invalid stod argument (argument 55: \"none\")"},
  };
  for (const auto& c : cases) {
    CommandLine cl;
    cl.set(c.position, c.text);
    try {
      parseRunParameters(cl.args);
      ADD_FAILURE() << c.position;
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(RunParameters, ValidationRejectsMeshesTheOperatorsCannotUse) {
  const struct {
    int position;
    const char* text;
  } bad[] = {{1, "2"}, {2, "0"}, {3, "-4"}, {5, "0"}, {7, "-1"}, {9, "nan"}, {5, "inf"}, {8, "-inf"}, {31, "0"}};
  for (const auto& c : bad) {
    CommandLine cl;
    cl.set(c.position, c.text);
    EXPECT_THROW(validateRunParameters(*parseRunParameters(cl.args)), std::invalid_argument) << c.position;
  }
  CommandLine ok;
  ok.set(31, "-7");
  EXPECT_NO_THROW(validateRunParameters(*parseRunParameters(ok.args)));
}

TEST(RunParameters, RemanenceOverrideTouchesOnlyTheFirstTwoExistingEntries) {
  std::vector<double> r3{0.5, 0.7, 0.9};
  overrideRemanence(r3);
  EXPECT_EQ(r3, (std::vector<double>{1.2, 1.2, 0.9}));
  std::vector<double> r1{0.3};
  overrideRemanence(r1);
  EXPECT_EQ(r1, (std::vector<double>{1.2}));
  std::vector<double> r0;
  overrideRemanence(r0);
  EXPECT_TRUE(r0.empty());
}

TEST(RunParameters, MagnetisationTableScalesDirectionsAndLastTupleWins) {
  CommandLine cl;
  // N = 3: remanence, then three tuples; the third repeats the first name.
  cl.args.resize(52);
  for (const char* a : {"3", "0.5", "0.7", "0.5", "m0", "0", "0", "1", "m1", "1", "0", "0", "m2", "1",
                        "0", "0"})
    cl.args.push_back(a);
  RunParameters p = *parseRunParameters(cl.args);
  overrideRemanence(p.remanence);
  auto table = buildMagnetisationTable(cl.args, p.remanence);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table["m0"], (Vec3{0, 0, 1.2 * 1.0 / MU_0}));
  EXPECT_NEAR(table["m0"].z, 954929.66, 0.01);
  EXPECT_NEAR(table["m2"].x, 397887.36, 0.01);

  cl.args[64] = "m0";  // third tuple now names m0 again
  table = buildMagnetisationTable(cl.args, p.remanence);
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table["m0"], (Vec3{0.5 / MU_0, 0, 0}));
}

TEST(RunParameters, InjectModeDecoding) {
  const struct {
    int mode;
    bool ions, electrons;
  } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, true, true},
               {4, false, false}, {-1, false, false}, {5, false, false}, {7, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(injectsIons(c.mode), c.ions) << c.mode;
    EXPECT_EQ(injectsElectrons(c.mode), c.electrons) << c.mode;
  }
  const auto volts = buildVoltageTable();
  EXPECT_EQ(volts.at("electrode1"), 270.0);
  EXPECT_EQ(volts.at("electrode2"), 0.0);
  EXPECT_EQ(volts.at("Body"), 0.0);
}

}  // namespace
