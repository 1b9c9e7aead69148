#pragma once

#include <string>
#include <vector>

#include "mesh/NodeField.h"
#include "mesh/World.h"
#include "particles/Particle.h"
#include "particles/ParticleTiles.h"

namespace plasmabox {

// One kind of charged particle: its constants, its macro-particles and the node
// fields its particles are deposited into.
struct Species {
  std::string name;  // "O+", "e-": used in console lines and output array names
  double mass;       // kg
  double charge;     // C, signed
  double mpw0;       // real particles per macro-particle: the weight of every particle it creates
  std::vector<Particle> particles;
  Field den;         // m^-3, number density of real particles
  Field den_prev;    // m^-3, den of the previous deposition
  VectorField vel;   // m/s, weight-averaged velocity
  World* world;      // not owned; outlives the species
  ParticleTiles tiles;  // where the last sort left the particles, and scratch of the deposition and the sort

  // Empty species with zeroed fields of the world's node counts.
  Species(std::string name_, double mass_, double charge_, double mpw0_, World& world_)
      : name(std::move(name_)),
        mass(mass_),
        charge(charge_),
        mpw0(mpw0_),
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
