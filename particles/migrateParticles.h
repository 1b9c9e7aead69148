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

// Hands every particle bound for another process to the process whose cells
// hold it (see slabStarts: the cell along x that every process's gather
// computes), with its whole record, any number of slabs away: those the last
// advance found leaving (species.moves.outgoing), and live ones (weight > 0)
// appended since then off this process's slab. Call it on every process of
// the run right after advance, before anything gathers or deposits with the
// particles.
//
// The particles received are appended to the list (placeAppended puts them
// in their tiles), those of process 0 first, each process's in its list order;
// the others keep their places. The result does not depend on `threads`.
// Dead particles (weight <= 0) are never sent. On one process it does nothing
// and returns zeros. Throws std::length_error when a process would send or
// receive more than 2^31 - 1 particles in one call.
MigrationTally migrateParticles(Species& species, int threads);

}  // namespace plasmabox
