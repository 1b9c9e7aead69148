#pragma once

#include <string>
#include <vector>

#include "mesh/NodeField.h"
#include "mesh/World.h"
#include "particles/Particle.h"
#include "particles/ParticleList.h"
#include "particles/ParticleMoves.h"
#include "particles/TileGrid.h"

namespace plasmabox {

// One kind of charged particle: its constants, its macro-particles and the node
// fields its particles are deposited into.
struct Species {
  std::string name;  // "O+", "e-": used in console lines and output array names
  double mass;       // kg
  double charge;     // C, signed
  double mpw0;       // real particles per macro-particle: the weight of every particle it creates
  ParticleList particles;  // grouped by tile of the world's cells
  Field den;         // m^-3, number density of real particles
  Field den_prev;    // m^-3, den of the previous deposition
  VectorField vel;   // m/s, weight-averaged velocity: of the last deposition of Moments::FULL
  World* world;      // not owned; outlives the species
  ParticleMoves moves;  // between the push, the removal of movers, the exchange and the deposition

  // Empty species with zeroed fields of the world's node counts.
  Species(std::string name_, double mass_, double charge_, double mpw0_, World& world_)
      : name(std::move(name_)),
        mass(mass_),
        charge(charge_),
        mpw0(mpw0_),
        particles(tileGrid(world_.grid)),
        den(world_.grid.ni, world_.grid.nj, world_.grid.nk),
        den_prev(world_.grid.ni, world_.grid.nj, world_.grid.nk),
        vel(world_.grid.ni, world_.grid.nj, world_.grid.nk),
        world(&world_) {}

  Species(Species&&) noexcept = default;
  Species& operator=(Species&&) noexcept = default;
  Species(const Species&) = delete;
  Species& operator=(const Species&) = delete;
};

}  // namespace plasmabox
