#pragma once

#include <cstdint>

#include "particles/Species.h"

namespace plasmabox {

// What one migration moved, for the benchmarks and the run's statistics.
struct MigrationTally {
  int64_t sent = 0;        // particles this process sent to others
  int64_t received = 0;    // particles it received
  int64_t bytes_sent = 0;  // bytes of particle records it sent
};

// Hands every live particle (weight > 0) that is no longer in this process's
// cells (see slabStarts: the cell along x that every process's gather
// computes) to the process whose cells hold it, with its whole record; any
// number of slabs away. Call it on every process of the run right after
// advance, before anything gathers or deposits with the particles.
//
// The particles that stay keep their places, except that each hole left by a
// departing particle is filled with the last one of the list (taken from the
// end of the list towards its start); the particles received are appended,
// those of process 0 first, each process's in its list order. The result
// does not depend on `threads` (the team that finds the departing particles,
// at least 1). Dead particles (weight <= 0) are never sent. On one process it
// does nothing and returns zeros. Throws std::length_error when a process
// would send or receive more than 2^31 - 1 particles in one call.
MigrationTally migrateParticles(Species& species, int threads);

}  // namespace plasmabox
