#pragma once

#include <cstdint>

#include "mesh/Decomposition.h"
#include "mesh/Grid.h"
#include "mesh/NodeField.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The state on the mesh: its geometry, every field that lives on its nodes and
// the time-step bookkeeping. The driver builds one World and never moves it:
// species keep pointers to it. The geometry objects are kept apart (see
// geometry/AmfObject.h): the mesh knows nothing of triangles.
struct World {
  Decomposition part;  // which planes of the mesh this process holds; all of them on one process
  Grid grid;

  Field phi;           // V, electrostatic potential
  Field rho;           // C/m^3, charge density
  VectorField j_total; // A/m^2, total current density
  VectorField ef;      // V/m, electric field
  IntField object_id;  // 1 at nodes held at a fixed potential by an object
  Field phi_m;         // A, magnetic scalar potential
  VectorField B;       // T, magnetic flux density
  VectorField H;       // A/m, magnetic field strength
  VectorField M;       // A/m, magnetisation

  double dt = 0;      // s, time step
  double time = 0;    // s, simulated time
  int32_t ts = -1;    // current step number
  int32_t num_ts = 0; // last step number the loop runs
  Vec3 pin_point_1;   // nodes near these points are pinned by the magnetostatic solver
  Vec3 pin_point_2;

  // All fields zero with counts (ni, nj, nk); extents zero until grid.setExtents.
  World(int32_t ni, int32_t nj, int32_t nk);

  // This process's slab of part (its planes and ghost planes) of a mesh with
  // nj x nk nodes per plane.
  World(const Decomposition& part, int32_t nj, int32_t nk);

  World(const World&) = delete;

 private:
  World(const Decomposition& part, int32_t ni, int32_t nj, int32_t nk);

 public:
  World& operator=(const World&) = delete;
};

// Advances the clock to the next step: time += dt (accumulated, not
// multiplied), ts += 1. Returns false, leaving the step numbers past the
// loop, when the step just finished was num_ts: the loop ends.
bool startNextStep(World& world);

}  // namespace plasmabox
