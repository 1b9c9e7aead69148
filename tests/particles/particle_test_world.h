#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "mesh/World.h"
#include "particles/Particle.h"
#include "particles/ParticleList.h"
#include "particles/Species.h"
#include "particles/loading.h"

namespace plasmabox {

// Makes w span [lo, hi]^3 (m) with time step dt (s).
inline void setUpCube(World& w, double lo, double hi, double dt = 1e-9) {
  w.grid.setExtents({lo, lo, lo}, {hi, hi, hi});
  w.dt = dt;
}

// n^3 nodes over [lo, hi]^3 (m), time step dt (s).
struct Cube : World {
  Cube(int n, double lo, double hi, double step = 1e-9) : World(n, n, n) { setUpCube(*this, lo, hi, step); }
};

inline Particle at(Vec3 pos, Vec3 vel, double weight = 1.0) { return Particle{pos, vel, weight}; }

// s holds exactly these particles, in this order (appended, not yet placed).
inline void setParticles(Species& s, const std::vector<Particle>& list) { s.particles.assign(list); }

// The particles of s in list order.
inline std::vector<Particle> listOf(const Species& s) { return listOrder(s.particles); }

// Two lists hold the same particles in the same order, bit for bit.
inline bool sameParticles(const std::vector<Particle>& a, const std::vector<Particle>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Particle)) == 0;
}

// loadParticlesBox with the line it prints captured, and the message of what it threw ("" if nothing).
struct Loaded {
  std::string out, error;
};
inline Loaded loadBox(Species& s, Vec3 x1, Vec3 x2, double num_den, Vec3 drift = {}, double temperature_ev = 0) {
  Loaded r;
  testing::internal::CaptureStdout();
  try {
    loadParticlesBox(s, x1, x2, num_den, drift, temperature_ev);
  } catch (const std::exception& e) {
    r.error = e.what();
  }
  r.out = testing::internal::GetCapturedStdout();
  return r;
}

}  // namespace plasmabox
