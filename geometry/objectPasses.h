#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include "geometry/AmfObject.h"
#include "mesh/Vec3.h"
#include "mesh/World.h"

namespace plasmabox {

// Holds the nodes inside the named electrodes at their potential: for every
// node (i, j, k) whose containing object (findContainingObjectIndex over
// objects) is named in voltages, sets world.object_id to 1 and world.phi to
// that voltage (V). Other nodes, and nodes in no object, are left as they
// are. Prints "amfread_voltage", runs the node loop on `threads` OpenMP
// threads (blocks of i, static schedule), then prints an empty line.
void amfread_voltage(World& world, std::span<const AmfObject> objects,
                     const std::map<std::string, double>& voltages, int threads);

// Gives the nodes inside the named magnets their magnetisation: for every node
// whose containing object is named in magnetisations, sets world.M to that
// vector (A/m). object_id and phi are not touched. Prints
// "amfread_magvector", runs one static loop over all nodes (flattened index)
// on `threads` threads, then prints an empty line.
void amfread_magvector(World& world, std::span<const AmfObject> objects,
                       const std::map<std::string, Vec3>& magnetisations, int threads);

// The index (into objects) of the object that contains each stored node of
// grid (findContainingObjectIndex), for the objects whose index selected[o]
// is true; -1 at every other node. Prints nothing; the node loop runs on
// `threads` OpenMP threads.
IntField objectNodeIndex(const Grid& grid, std::span<const AmfObject> objects, const std::vector<bool>& selected,
                         int threads);

}  // namespace plasmabox
