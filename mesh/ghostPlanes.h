#pragma once

#include <cstdint>

#include "mesh/Decomposition.h"
#include "mesh/NodeField.h"

namespace plasmabox {

// The border traffic of a distributed run (see mesh/Decomposition.h): the
// ghost planes of a field hold copies of the neighbours' border planes. On
// one process every function here returns at once.

// Copies each process's first and last owned plane of f into the neighbours'
// ghost planes. f has the local counts of part.
void exchangeGhostPlanes(const Decomposition& part, Field& f);
void exchangeGhostPlanes(const Decomposition& part, VectorField& f);
void exchangeGhostPlanes(const Decomposition& part, IntField& f);

// For sums deposited from particles: adds each ghost plane's values into the
// neighbour's owned plane it stands for, then sets the ghost plane to the
// owner's total, so that every stored plane holds the whole sum. The owner
// adds the neighbour's values after its own, the same order on every run.
void addGhostPlanesToOwners(const Decomposition& part, Field& f);
void addGhostPlanesToOwners(const Decomposition& part, VectorField& f);

// Bytes this process has sent in ghost planes since it started (for the
// benchmark's account of the traffic between processes).
uint64_t ghostBytesSent();

}  // namespace plasmabox
