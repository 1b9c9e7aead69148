#include <gtest/gtest.h>

#include <cmath>

#include "mesh/Grid.h"

using namespace plasmabox;

namespace {

TEST(Grid, NodeVolumesAreCellShareAndSumToTheBoxVolume) {
  Grid w(3, 3, 3);
  w.setExtents({0, 0, 0}, {2, 2, 2});
  EXPECT_EQ(w.xc, (Vec3{1, 1, 1}));
  // Interior, face, edge, corner.
  EXPECT_TRUE(w.node_vol(1, 1, 1) == 1.0 && w.node_vol(0, 1, 1) == 0.5 && w.node_vol(1, 2, 0) == 0.25 &&
              w.node_vol(2, 2, 2) == 0.125);
  Grid u(7, 4, 9);
  u.setExtents({-0.1, 0.2, 1.0}, {0.5, 0.35, 1.8});
  double sum = 0;
  for (double v : u.node_vol.data) sum += v;
  EXPECT_NEAR(sum, 0.6 * 0.15 * 0.8, 1e-15);
}

TEST(Grid, BoundsIncludeTheLowerFacesOnly) {
  Grid w(5, 5, 5);
  w.setExtents({-1, -1, -1}, {1, 1, 1});
  const struct {
    Vec3 p;
    bool inside;
  } cases[] = {
      {{-1, -1, -1}, true}, {{0.999, 0.999, 0.999}, true}, {{1, 0, 0}, false}, {{0, 0, 1}, false},
      {{-1.0000001, 0, 0}, false}, {{0, 0, NAN}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(w.inBounds(c.p), c.inside) << c.p.x << " " << c.p.y << " " << c.p.z;
  EXPECT_EQ(w.toLogical(w.xm), (Vec3{4, 4, 4}));
  EXPECT_EQ(w.toLogical({0, 0.5, -0.5}), (Vec3{2, 3, 1}));
}

}  // namespace
