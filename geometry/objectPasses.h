#pragma once

#include <map>
#include <string>

#include "mesh/Vec3.h"
#include "mesh/World.h"

// Holds the nodes inside the named electrodes at their potential: for every
// node (i, j, k) whose containing object (findContainingObjectIndex) is named
// in voltages, sets object_id to 1 and phi to that voltage (V). Other nodes,
// and nodes in no object, are left as they are. Prints "amfread_voltage", runs
// the node loop on world.num_threads OpenMP threads (blocks of i, static
// schedule), then prints an empty line. Leaves the OpenMP default thread count
// at world.num_threads.
void amfread_voltage(World& world, const std::map<std::string, double>& voltages);

// Gives the nodes inside the named magnets their magnetisation: for every node
// whose containing object is named in magnetisations, sets M to that vector
// (A/m). object_id and phi are not touched. Prints "amfread_magvector", runs
// one static loop over all nodes (flattened index) on world.num_threads
// threads, then prints an empty line.
void amfread_magvector(World& world, const std::map<std::string, Vec3>& magnetisations);
