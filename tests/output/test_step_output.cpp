#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "output/fieldText.h"
#include "output/stepLine.h"
#include "output/stepOutput.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

std::string array(const std::string& name, int components, const std::string& rows) {
  if (rows.empty()) {  // all zero: 4 planes of 6 nodes
    std::string row;
    for (int n = 0; n < 6 * components; ++n) row += "0 ";
    return array(name, components, row + "\n" + row + "\n" + row + "\n" + row + "\n");
  }
  return "<DataArray Name=\"" + name + "\" NumberOfComponents=\"" + std::to_string(components) +
         "\" format=\"ascii\" type=\"" + (name == "object_id" ? "Int32" : "Float64") + "\">\n" + rows + "</DataArray>\n";
}

TEST(WriteOutput, VtkFileHoldsEveryArrayInOrderLineByLine) {
  // 2 x 3 x 4 nodes with distinct values in a few fields, two species.
  World world(2, 3, 4);
  world.grid.setExtents({-0.5, 0, 0}, {0.5, 0.2, 3});
  world.ts = 40;
  for (double& v : world.grid.node_vol.data) v = 0.25;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 4; ++k) world.phi(i, j, k) = i + 10 * j + 100 * k;
  world.object_id(1, 2, 3) = 1, world.B(0, 0, 1) = {1e-3, -2, 0.5};
  std::vector<Species> species;
  species.reserve(2);
  // Charges of +-2 C and densities of 0.5 in two depositions make the
  // current density equal the velocity, or its negative.
  species.emplace_back("O+", 2.6e-26, 2.0, 1, world);
  species.emplace_back("e-", 9.1e-31, -2.0, 1, world);
  species[0].den(0, 1, 2) = species[0].den_prev(0, 1, 2) = 0.5;
  species[0].vel(0, 1, 2) = {1.5, -2, 1e20};
  species[1].den(1, 0, 0) = species[1].den_prev(1, 0, 0) = 0.5;
  species[1].vel(1, 0, 0) = {1234567, 3, -0.0001};
  const TempFolder dir("step_output_vtk");
  writeOutput(world, species, dir.file("a_output_O_40.csv"), dir.file("a_output_e_40.csv"));
  const std::string quarter = "0.25 0.25 0.25 0.25 0.25 0.25 \n";
  const std::string z3 = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 \n";  // an all-zero plane of a vector array
  const std::string n4 = "-0 -0 -0 -0 -0 -0 -0 -0 -0 -0 -0 -0 \n", n3 = "-0 -0 -0 -0 -0 -0 " + n4;
  const std::string expect =
      "<VTKFile type=\"ImageData\">\n"
      "<ImageData Origin=\"-0.5 0 0\" Spacing=\"1 0.1 1\" WholeExtent=\"0 1 0 2 0 3\">\n<PointData>\n" +
      array("object_id", 1, "0 0 0 0 0 0 \n0 0 0 0 0 0 \n0 0 0 0 0 0 \n0 0 0 0 0 1 \n") +
      array("NodeVol", 1, quarter + quarter + quarter + quarter) +
      array("phi", 1, "0 1 10 11 20 21 \n100 101 110 111 120 121 \n200 201 210 211 220 221 \n300 301 310 311 320 321 \n") +
      array("rho", 1, "") + array("j.O+", 3, z3 + z3 + "0 0 0 0 0 0 1.5 -2 1e+20 0 0 0 0 0 0 0 0 0 \n" + z3) +
      // A negative charge times an empty node's zeros gives -0, as the deposition always did.
      array("j.e-", 3, "-0 -0 -0 -1.23457e+06 -3 0.0001 " + n4 + n3 + n3 + n3) +
      array("vel.O+", 3, z3 + z3 + "0 0 0 0 0 0 1.5 -2 1e+20 0 0 0 0 0 0 0 0 0 \n" + z3) +
      array("vel.e-", 3, "0 0 0 1.23457e+06 3 -0.0001 0 0 0 0 0 0 0 0 0 0 0 0 \n" + z3 + z3 + z3) +
      array("ef", 3, "") + array("phi_m", 1, "") + array("phi_m_theory", 1, "") +
      array("B", 3, z3 + "0.001 -2 0.5 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 \n" + z3 + z3) + array("H", 3, "") +
      array("M", 3, "") + "</PointData>\n</ImageData>\n</VTKFile>\n";
  EXPECT_EQ(readWholeFile(dir.file("vti/00040.vti")), expect);  // the missing vti directory was made
  EXPECT_EQ(vtkFileName("out/deep/p_output_O_123456.csv", 123456), "out/deep/vti/123456.vti");  // past 5 digits
}

TEST(WriteOutput, DensityFilesGetHeaderAndTheirSpecies) {
  const TempFolder dir("step_output_csv");
  World world(2, 1, 2);
  world.grid.setExtents({0, 0, 0}, {1, 1, 1});
  world.ts = 3;
  std::vector<Species> species;
  species.reserve(4);
  for (const char* name : {"O+", "e-", "X", "hot e-"}) species.emplace_back(name, 1.0, 1.0, 1, world);
  species[0].den(1, 0, 1) = 5e15, species[1].den(0, 0, 0) = 2, species[2].den(1, 0, 0) = -1;
  species[3].den(0, 0, 1) = 0.5;  // "hot e-" goes to the electron file, "X" to the other
  writeOutput(world, species, dir.file("output_O_3.csv"), dir.file("output_e_3.csv"));
  EXPECT_EQ(readWholeFile(dir.file("output_O_3.csv")),
            "x,y,z,data\n0,0,0,0\n1,0,0,0\n\n0,0,1,0\n1,0,1,5e+15\n\n\n0,0,0,0\n1,0,0,-1\n\n0,0,1,0\n1,0,1,0\n\n\n");
  EXPECT_EQ(readWholeFile(dir.file("output_e_3.csv")),
            "x,y,z,data\n0,0,0,2\n1,0,0,0\n\n0,0,1,0\n1,0,1,0\n\n\n0,0,0,0\n1,0,0,0\n\n0,0,1,0.5\n1,0,1,0\n\n\n");
}

// The images and density files write scalar and integer fields in both
// layouts; left are a vector field's CSV lines and fields without values.
TEST(FieldText, VectorCsvLinesAndFieldsWithoutValues) {
  const auto text = [](const auto& f, FieldLayout layout) {
    std::ostringstream s;
    writeField(s, f, layout);
    return s.str();
  };
  VectorField v(2, 1, 1);
  v(0, 0, 0) = {1, -2, 3e-7};
  v(1, 0, 0) = {1e6, 0.25, -0.0};
  EXPECT_EQ(text(v, FieldLayout::CSV_LINES), "0,0,0,1 -2 3e-07\n1,0,0,1e+06 0.25 -0\n\n");
  EXPECT_EQ(text(Field(0, 3, 3), FieldLayout::VTK_ROWS), "\n\n\n");  // three planes without nodes
  Field moved(2, 2, 2);
  const Field taken(std::move(moved));
  EXPECT_EQ(text(moved, FieldLayout::CSV_LINES), "");  // counts kept, storage gone
}

// Each species' count after a tab and a blank; the stream's number format is left alone.
TEST(StepLine, ShowsEachSpeciesCountAndLeavesTheStreamFormatAlone) {
  World world(3, 3, 3);
  std::vector<Species> none, species;
  species.reserve(2);
  species.emplace_back("O+", 16 * 1.66e-27, 1.6e-19, 1, world);
  species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, world);
  for (int n = 0; n < 120; ++n) species[0].particles.append({});
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
