// The voltage and magnetisation passes over the mesh nodes.
#include <gtest/gtest.h>

#include "consoleCapture.h"
#include "geometry/containment.h"
#include "geometry/objectPasses.h"
#include "testMeshes.h"

TEST(ObjectPasses, VoltageAndMagnetisationGoToTheNodesOfNamedObjects) {
  World world(9, 9, 9);
  world.num_threads = 3;
  world.setExtents({0, 0, 0}, {2, 2, 2});  // 0.25 m spacing
  // The electrode has mesh nodes on its faces; the magnet overlaps it.
  world.objects.push_back(toObject(boxMesh("electrode", {0.5, 0.5, 0.5}, {1.0, 1.5, 1.0})));
  world.objects.push_back(toObject(sphereMesh("magnet", {1.3, 1.3, 1.3}, 0.6, 2)));
  world.objects.push_back(toObject(boxMesh("ignored", {1.6, 0.1, 0.1}, {1.9, 0.4, 0.4})));
  world.phi(0, 0, 0) = 7.0;  // untouched values stay
  const std::map<std::string, double> voltages = {{"electrode", -12.5}, {"nowhere", 3.0}};
  const std::map<std::string, Vec3> magnetisations = {{"magnet", {0, 0, 8e5}}};
  {
    ConsoleCapture console;
    amfread_voltage(world, voltages);
    amfread_magvector(world, magnetisations);
    EXPECT_EQ(console.transcript, "out: amfread_voltage\nout: \nout: amfread_magvector\nout: \n");
  }
  int electrode_nodes = 0, magnet_nodes = 0;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j)
      for (int k = 0; k < 9; ++k) {
        const Vec3 p{0.25 * i, 0.25 * j, 0.25 * k};
        const int owner = findContainingObjectIndexFullScan(world, p);
        const bool electrode = owner == 0, magnet = owner == 1;
        electrode_nodes += electrode;
        magnet_nodes += magnet;
        EXPECT_EQ(world.object_id(i, j, k), electrode ? 1 : 0) << i << j << k;
        EXPECT_EQ(world.phi(i, j, k), electrode ? -12.5 : (i + j + k == 0 ? 7.0 : 0.0)) << i << j << k;
        EXPECT_EQ(world.M(i, j, k), (magnet ? Vec3{0, 0, 8e5} : Vec3{})) << i << j << k;
      }
  EXPECT_GT(electrode_nodes, 8);
  EXPECT_GT(magnet_nodes, 8);
  // The magnet node nearest the magnet's first vertex, not the electrode's.
  EXPECT_EQ(world.object_id(4, 4, 4), 0);
}

TEST(ObjectPasses, EmptyMeshPrintsOnlyTheTwoLines) {
  World world(0, 3, 3);
  world.objects.push_back(toObject(boxMesh("electrode", {0, 0, 0}, {1, 1, 1})));
  ConsoleCapture console;
  amfread_voltage(world, {{"electrode", 1.0}});
  amfread_magvector(world, {{"electrode", {1, 0, 0}}});
  EXPECT_EQ(console.transcript, "out: amfread_voltage\nout: \nout: amfread_magvector\nout: \n");
}
