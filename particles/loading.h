#pragma once

#include <cstddef>

#include "mesh/Vec3.h"
#include "particles/ObjectVeto.h"
#include "particles/Species.h"

namespace plasmabox {

// Appends one particle at pos (m) with weight (real particles per macro-particle)
// when pos lies inside the mesh (see insideMeshCells) and, on a slab of a
// distributed run, not below this process's cells; otherwise the particle is
// silently discarded. The stored velocity is vel (m/s) set back half a time step
// in the electric field gathered at pos, as the leapfrog push expects.
void addParticle(Species& species, const Vec3& pos, const Vec3& vel, double weight);

// The velocity vel (m/s) of a particle of species created at logical
// coordinate l, set back half a time step in the fields there, as the
// leapfrog push expects: vel - (charge / mass) (dt / 2) E; where the push turns
// the particles in a nonzero B (world.magnetic_force), the Boris step over
// minus half a step instead, which keeps the speed in B and leaves a particle
// at its E x B drift at that drift.
Vec3 halfStepBack(const Species& species, const Vec3& l, const Vec3& vel);

// Appends a particle that enters the box or leaves a surface during the
// step, at pos (m, anywhere in the box's cells) with velocity vel (m/s) and
// weight, its velocity set back half a step in the fields there
// (halfStepBack). Unlike addParticle it keeps a particle in stored cells
// that are not this process's own (a neighbour's, for migrateParticles to
// hand over); a position beyond the stored cells, which only a step far too
// long for the mesh reaches, takes the field of the nearest stored cell.
void appendEnteringParticle(Species& species, const Vec3& pos, const Vec3& vel, double weight);

// Fills the box spanned by corners x1 and x2 (m, in any order along each axis)
// uniformly with particles of weight mpw0, for a number density num_den
// (m^-3). Prints "mpw0 num_sim num_real" on standard output, where num_real =
// num_den * |box volume| and num_sim = num_real / mpw0, and creates
// ceil(num_sim) particles (none when num_sim <= 0). Velocities (before the
// half-step shift): drift (m/s), plus with temperature_ev > 0 a Maxwellian of
// that temperature. Draws per particle, in this order: x, y, z of the
// position (three rnd()), then with a temperature the velocity (six, see
// maxwellianVelocity); at temperature 0 no velocity is drawn. Throws
// std::length_error or std::runtime_error (see checkedParticleCount) when
// that many particles cannot be stored.
//
// In a distributed run each process creates only the particles in its own
// cells (see slabStarts): of the count, the share of the box's length along x
// that its cells hold (the shares of all processes add up to the count), at x
// uniform over that part, in the same draw order. Only process 0 prints.
//
// With a veto, a particle whose position lies inside one of its objects is
// not created; its draws are still taken, so every other particle is the one
// it would be without the objects.
void loadParticlesBox(Species& species, const Vec3& x1, const Vec3& x2, double num_den, const Vec3& drift = {},
                      double temperature_ev = 0.0, const ObjectVeto* veto = nullptr);

// Checks that count more particles (a whole number, or NaN or infinite) fit into
// species.particles, before anything is allocated. Throws std::length_error when
// count is not finite or exceeds the list's maximum size, and
// std::runtime_error when the particles would need more bytes than the machine's
// physical memory; each message starts with where, names the species and gives
// the count. Returns count as a size, 0 for a count below zero.
std::size_t checkedParticleCount(const Species& species, double count, const char* where);

}  // namespace plasmabox
