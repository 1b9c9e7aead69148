#pragma once
// The command line of a run around test objects in an empty cube.

#include <string>
#include <vector>

#include "geometry/testMeshes.h"
#include "support/amf_meshes.h"
#include "support/command_line.h"
#include "support/run_program.h"

namespace plasmabox {

// A cube of n nodes over [0, size] m around the meshes, nothing loaded or injected.
inline CommandLine sceneBox(const TempFolder& folder, const std::vector<NamedMesh>& meshes, int n, double size) {
  CommandLine cl(folder.write("scene.amf", meshesAmf(meshes)));
  const std::string nodes = std::to_string(n), extent = std::to_string(size);
  cl.set(1, nodes).set(2, nodes).set(3, nodes).set(5, extent).set(7, extent).set(9, extent);
  for (int corner : {14, 15, 16, 20, 21, 22}) cl.set(corner, extent);
  cl.set(25, folder.path.string() + "/").set(31, "1000000").set(32, "0").set(53, "0").set(27, "200").set(28, "1e-6");
  cl.args.resize(53);
  return cl;
}

}  // namespace plasmabox
