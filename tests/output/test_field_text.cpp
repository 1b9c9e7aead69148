#include <gtest/gtest.h>

#include <sstream>

#include "output/fieldText.h"

using namespace plasmabox;

namespace {

template <class F>
std::string text(const F& f, bool csv = false) {
  std::ostringstream s;
  writeField(s, f, csv ? FieldLayout::CSV_LINES : FieldLayout::VTK_ROWS);
  return s.str();
}

// VTK rows are planes of constant k with i fastest; CSV lines carry the
// indices and leave an empty line after each plane.
TEST(FieldText, VtkRowsAndCsvLinesOfEveryFieldKind) {
  Field f(2, 3, 2);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 2; ++k) f(i, j, k) = i + 10 * j + 100 * k + 0.5;
  EXPECT_EQ(text(f), "0.5 1.5 10.5 11.5 20.5 21.5 \n100.5 101.5 110.5 111.5 120.5 121.5 \n");
  IntField n(2, 1, 2);
  n(1, 0, 1) = -7;
  EXPECT_EQ(text(n), "0 0 \n0 -7 \n");
  VectorField v(2, 1, 1);
  v(0, 0, 0) = {1, -2, 3e-7};
  v(1, 0, 0) = {1e6, 0.25, -0.0};
  EXPECT_EQ(text(v), "1 -2 3e-07 1e+06 0.25 -0 \n");
  EXPECT_EQ(text(n, true), "0,0,0,0\n1,0,0,0\n\n0,0,1,0\n1,0,1,-7\n\n");
  EXPECT_EQ(text(v, true), "0,0,0,1 -2 3e-07\n1,0,0,1e+06 0.25 -0\n\n");
}

TEST(FieldText, EmptyOrMovedFromFieldsWriteNoValues) {
  EXPECT_EQ(text(Field(0, 3, 3)), "\n\n\n");  // three planes without nodes
  Field moved(2, 2, 2);
  const Field taken(std::move(moved));
  EXPECT_EQ(text(moved), "");  // counts kept, storage gone
}

}  // namespace
