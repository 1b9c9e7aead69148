#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mesh/World.h"

namespace {

TEST(World, ConstructionGivesZeroFieldsOfTheMeshCounts) {
  World w(10, 4, 6);
  EXPECT_EQ(w.ts, -1);
  EXPECT_EQ(w.time, 0.0);
  EXPECT_TRUE(w.objects.empty());
  for (const Field* f : {&w.phi, &w.rho, &w.node_vol, &w.phi_m, &w.phi_m_theory}) {
    EXPECT_EQ(f->ni, 10);
    EXPECT_EQ(f->nj, 4);
    EXPECT_EQ(f->nk, 6);
    EXPECT_EQ(f->size(), 240u);
  }
  for (const VectorField* f : {&w.j_total, &w.ef, &w.B, &w.H, &w.M}) EXPECT_EQ(f->size(), 240u);
  EXPECT_EQ(w.object_id.size(), 240u);
  EXPECT_EQ(w.nn[0], 10);
  EXPECT_EQ(w.nn[2], 6);
  const double t = w.getWallTime();
  EXPECT_GE(t, 0.0);
  EXPECT_LT(t, 5.0);
}

TEST(World, ExtentsGiveSpacingCentreAndNodeVolumes) {
  World w(3, 3, 3);
  w.setExtents({0, 0, 0}, {2, 2, 2});
  EXPECT_EQ(w.dh, (Vec3{1, 1, 1}));
  EXPECT_EQ(w.xc, (Vec3{1, 1, 1}));
  EXPECT_EQ(w.node_vol(1, 1, 1), 1.0);
  EXPECT_EQ(w.node_vol(0, 1, 1), 0.5);
  EXPECT_EQ(w.node_vol(1, 2, 0), 0.25);
  EXPECT_EQ(w.node_vol(2, 2, 2), 0.125);
  double sum = 0;
  for (double v : w.node_vol.data) sum += v;
  EXPECT_EQ(sum, 8.0);
}

TEST(World, NodeVolumesSumToTheBoxVolumeOnUnevenMeshes) {
  World w(7, 4, 9);
  w.setExtents({-0.1, 0.2, 1.0}, {0.5, 0.35, 1.8});
  double sum = 0;
  for (double v : w.node_vol.data) sum += v;
  EXPECT_NEAR(sum, 0.6 * 0.15 * 0.8, 1e-15);
}

TEST(World, BoundsIncludeTheLowerFacesOnly) {
  World w(5, 5, 5);
  w.setExtents({-1, -1, -1}, {1, 1, 1});
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    Vec3 p;
    bool inside;
  } cases[] = {
      {{-1, -1, -1}, true},       {{1, 0, 0}, false},  {{0, 1, 0}, false},
      {{0, 0, 1}, false},         {{0.999, 0.999, 0.999}, true},
      {{-1.0000001, 0, 0}, false}, {{nan, 0, 0}, false}, {{0, 0, nan}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(w.inBounds(c.p), c.inside) << c.p.x << " " << c.p.y << " " << c.p.z;

  const Vec3 lm = w.toLogical(w.xm);
  EXPECT_EQ(lm, (Vec3{4, 4, 4}));
  EXPECT_EQ(w.toLogical(w.x0), (Vec3{0, 0, 0}));
  EXPECT_EQ(w.toLogical({0, 0.5, -0.5}), (Vec3{2, 3, 1}));
}

}  // namespace
