#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/ClearCells.h"
#include "particles/Moments.h"
#include "particles/Species.h"

namespace plasmabox {

// Moves every particle of species through one time step dt in the world's
// electric field (electrostatic leapfrog: vel += (charge * dt / mass) * E at the
// old position, then pos += dt * vel), then settles the list (settleMovers):
// particles that end inside one of the objects (findContainingObjectIndex) or
// off the mesh, or have no weight (not > 0), are removed; those now in another
// tile move to its bin; those now in another process's cells wait in
// species.moves.outgoing for migrateParticles. A particle in a clear part of a
// cell (inClearPart) is known to be in no object without the query; clear must
// come from findClearCells for these objects (otherwise, or when it is empty,
// every particle near an object takes the query). Appended particles are put
// in their tiles first (placeAppended); those off this process's cells are
// removed unpushed. The push runs on an OpenMP team of `threads` threads (at
// least 1); the result does not depend on the team size.
//
// With magnetic_force the velocity also turns in world.B gathered at the old
// position with the same weights as E (Boris scheme: half the electric kick,
// the rotation, the other half), which keeps the speed in a pure magnetic
// field; where B is exactly zero the electric push above is used unchanged.
//
// absorbed (when given): per object, the real particles (sum of weights) it
// absorbed in this call, added in list order; resized to objects.size().
//
// deposit (when given): begins the deposition of these moments
// (beginDeposition) and deposits each particle that ends in its tile or a
// cell next to it while its cell's weights are at hand; computeGasProperties
// with the same moments, called before the next push, deposits the rest.
void advance(Species& species, std::span<const AmfObject> objects, const ClearCells& clear, int threads,
             bool magnetic_force = false, std::vector<double>* absorbed = nullptr,
             std::optional<Moments> deposit = std::nullopt);

// The push of advance without the settling: every particle stays where it
// was in the list, and species.moves.movers lists, in list order, each one
// that no longer belongs there with what became of it (species.moves.moving:
// its record after the push; an absorbed particle keeps the velocity it hit
// the object with). Call settleMovers before anything else reads the list.
void pushParticles(Species& species, std::span<const AmfObject> objects, const ClearCells& clear, int threads,
                   bool magnetic_force = false, std::optional<Moments> deposit = std::nullopt);

// Per object, the weights of the particles the last push found absorbed by
// it, added in list order, into absorbed (resized to `objects` entries, zeroed first).
void absorbedWeights(const ParticleMoves& moves, std::size_t objects, std::vector<double>& absorbed);

// The live particles (weight > 0) the last push found off the mesh: those
// that left it through its walls.
int64_t particlesLeftMesh(const ParticleMoves& moves);

}  // namespace plasmabox
