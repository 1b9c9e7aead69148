#pragma once

#include <string>
#include <vector>

#include "mesh/NodeField.h"
#include "mesh/World.h"
#include "particles/Particle.h"

// One kind of charged particle: its constants, its macro-particles and the node
// fields its particles are deposited into.
struct Species {
  std::string name;  // "O+", "e-": used in console lines and output array names
  double mass;       // kg
  double charge;     // C, signed
  double mpw0;       // default macro-particle weight of every particle it creates
  std::vector<Particle> particles;
  Field den;         // m^-3, number density of real particles
  Field den_prev;    // m^-3, den of the previous deposition
  VectorField vel;   // m/s, weight-averaged velocity
  VectorField j;     // A/m^2, current density
  World* world;      // not owned; outlives the species

  // Empty species with zeroed fields of the world's node counts.
  Species(std::string name_, double mass_, double charge_, int mpw0_, World& world_)
      : name(std::move(name_)),
        mass(mass_),
        charge(charge_),
        mpw0(static_cast<double>(mpw0_)),
        den(world_.ni, world_.nj, world_.nk),
        den_prev(world_.ni, world_.nj, world_.nk),
        vel(world_.ni, world_.nj, world_.nk),
        j(world_.ni, world_.nj, world_.nk),
        world(&world_) {}

  Species(Species&&) noexcept = default;
  Species& operator=(Species&&) noexcept = default;
  Species(const Species&) = delete;
  Species& operator=(const Species&) = delete;
};
