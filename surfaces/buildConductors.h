#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include "geometry/AmfObject.h"
#include "mesh/Grid.h"
#include "surfaces/Conductor.h"

namespace plasmabox {

// An object held some volts above a floating conductor.
struct Bias {
  std::string reference;  // the floating conductor's name
  double volts = 0.0;     // V above it
};

// The conductors of a run on grid (this process's slab): the floating
// objects (each the head of a group, in the order given), the objects biased
// against them (in name order, each in its reference's group) and the ramped
// ones (in name order), with their surface areas and the map of their nodes.
// Throws std::invalid_argument naming the option when a name is no object of
// objects (listing the objects' names), is given twice, or when a bias refers
// to an object that is not floating.
ConductorSystem buildConductors(const Grid& grid, std::span<const AmfObject> objects,
                                const std::vector<std::string>& floating, const std::map<std::string, Bias>& biases,
                                const std::map<std::string, VoltageRamp>& ramps, int threads);

// m^2, the surface of object: the sum of its triangles' areas.
double surfaceArea(const AmfObject& object);

}  // namespace plasmabox
