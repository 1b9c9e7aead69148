#pragma once
// The reference case: the small scene on 12^3 nodes, both species loaded over
// the whole box (some inside the objects) and injected through x = 1 mm.

#include <string>

#include "support/command_line.h"

namespace plasmabox {

inline const std::string SMALL_SCENE = std::string(PLASMABOX_SOURCE_DIR) + "/examples/small/scene.amf";

inline CommandLine referenceCase(const char* output_interval) {
  CommandLine cl(SMALL_SCENE);
  const char* values[] = {"12", "12", "12", "5e9", "5e9", output_interval, "3", "2", "2", "8000", "500000", "1e12",
                          "1e12", "300", "1e-4", "300", "1e-4"};
  const int positions[] = {1, 2, 3, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 27, 28, 51, 52};
  for (int n = 0; n < 17; ++n) cl.set(positions[n], values[n]);
  for (int plane : {39, 45})  // injection planes x = 1 mm, y and z over [5, 35] mm
    for (int n = 0; n < 6; ++n) cl.set(plane + n, n % 3 == 0 ? "0.001" : n < 3 ? "0.005" : "0.035");
  return cl;
}

}  // namespace plasmabox
