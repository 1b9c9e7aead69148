#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdint>
#include <span>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/ClearCells.h"
#include "particles/Particle.h"
#include "particles/Species.h"

namespace plasmabox {

// Moves every particle of species through one time step dt in the world's
// electric field (electrostatic leapfrog: vel += (charge * dt / mass) * E at the
// old position, then pos += dt * vel), kills the particles that end inside one
// of the objects (findContainingObjectIndex) or off the mesh (weight 0), and
// removes the dead ones with removeDeadParticles. A particle in a clear part
// of a cell (inClearPart) is known to be in no object without the query;
// clear must come from findClearCells for these objects (otherwise, or when
// it is empty, every particle near an object takes the query). The push runs
// on an OpenMP team of `threads` threads (at least 1); the result does not
// depend on the team size. Surviving particles have weight > 0.
//
// With magnetic_force the velocity also turns in world.B gathered at the old
// position with the same weights as E (Boris scheme: half the electric kick,
// the rotation, the other half), which keeps the speed in a pure magnetic
// field; where B is exactly zero the electric push above is used unchanged.
//
// absorbed (when given): per object, the real particles (sum of weights) it
// absorbed in this call, added in list order; resized to objects.size().
// left_box (when given): the macro-particles that left the mesh through its
// walls in this call.
void advance(Species& species, std::span<const AmfObject> objects, const ClearCells& clear, int threads,
             bool magnetic_force = false, std::vector<double>* absorbed = nullptr, int64_t* left_box = nullptr);

// Removes, in place and in one serial pass, every particle whose weight is not
// greater than zero (zero, negative or NaN): each hole is filled with the list's
// last particle and then examined again, so [P1, P2, P3, P4, P5] with P1 and P3
// dead becomes [P5, P2, P4]. The capacity of the list is kept.
void removeDeadParticles(std::vector<Particle>& particles);

// removeDeadParticles for a list whose particles before index first all have
// weight > 0: the pass starts at first and gives the same list. With
// absorbed, a dead particle marked as absorbed by the push (markAbsorbed)
// adds its weight to its object's entry, in list order. Returns the dead
// particles that were not absorbed (weight 0 or NaN: those that left the mesh).
int64_t removeDeadParticlesFrom(std::vector<Particle>& particles, std::size_t first,
                                std::vector<double>* absorbed = nullptr);

// Marks p dead as absorbed by object `object`: the weight turns negative and
// the velocity, no longer needed, keeps the object's index for the removal pass.
inline void markAbsorbed(Particle& p, int object) {
  p.weight = -p.weight;
  p.vel.x = static_cast<double>(object);
}

}  // namespace plasmabox
