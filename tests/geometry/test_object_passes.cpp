#include <gtest/gtest.h>

#include "geometry/containment.h"
#include "geometry/objectPasses.h"
#include "testMeshes.h"

using namespace plasmabox;

TEST(ObjectPasses, VoltageAndMagnetisationGoToTheNodesOfNamedObjects) {
  World world(9, 9, 9);
  world.grid.setExtents({0, 0, 0}, {2, 2, 2});  // 0.25 m spacing
  // The electrode has mesh nodes on its faces; the magnet overlaps it.
  std::vector<AmfObject> objects;
  objects.push_back(toObject(boxMesh("electrode", {0.5, 0.5, 0.5}, {1.0, 1.5, 1.0})));
  objects.push_back(toObject(sphereMesh("magnet", {1.3, 1.3, 1.3}, 0.6, 2)));
  objects.push_back(toObject(boxMesh("ignored", {1.6, 0.1, 0.1}, {1.9, 0.4, 0.4})));
  world.phi(0, 0, 0) = 7.0;  // untouched values stay
  testing::internal::CaptureStdout();
  amfread_voltage(world, objects, {{"electrode", -12.5}, {"nowhere", 3.0}}, 3);
  amfread_magvector(world, objects, {{"magnet", {0, 0, 8e5}}}, 3);
  testing::internal::GetCapturedStdout();  // the lines are pinned by the reference run's console
  int nodes[2] = {0, 0};  // of electrode, magnet
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j)
      for (int k = 0; k < 9; ++k) {
        const int owner = findContainingObjectIndexFullScan(objects, {0.25 * i, 0.25 * j, 0.25 * k});
        if (owner == 0 || owner == 1) ++nodes[owner];
        EXPECT_EQ(world.object_id(i, j, k), owner == 0 ? 1 : 0) << i << j << k;
        EXPECT_EQ(world.phi(i, j, k), owner == 0 ? -12.5 : (i + j + k == 0 ? 7.0 : 0.0)) << i << j << k;
        EXPECT_EQ(world.M(i, j, k), (owner == 1 ? Vec3{0, 0, 8e5} : Vec3{})) << i << j << k;
      }
  EXPECT_TRUE(nodes[0] > 8 && nodes[1] > 8);
  EXPECT_EQ(world.object_id(4, 4, 4), 0);  // nearer the magnet's first vertex than the electrode's

  World empty(0, 3, 3);  // no nodes: nothing to do, nothing to break
  testing::internal::CaptureStdout();
  amfread_voltage(empty, objects, {{"electrode", 1.0}}, 2);
  amfread_magvector(empty, objects, {{"electrode", {1, 0, 0}}}, 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "amfread_voltage\n\namfread_magvector\n\n");
}
