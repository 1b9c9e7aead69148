#pragma once

#include <cstdint>
#include <vector>

#include "geometry/AmfObject.h"
#include "mesh/NodeField.h"
#include "mesh/Vec3.h"

// The simulation domain: a uniform node mesh from x0 to xm, every field that
// lives on it, the geometry objects inside it, and the time-step bookkeeping.
// The driver builds one World and never moves it: species and solvers keep
// pointers to it.
struct World {
  int32_t num_threads = 1;  // OpenMP team size requested by the parallel loops
  int32_t ni, nj, nk;       // node counts along x, y, z
  int32_t nn[3];            // the same counts as an array

  std::vector<AmfObject> objects;

  Field phi;           // V, electrostatic potential
  Field rho;           // C/m^3, charge density
  Field node_vol;      // m^3, control volume of each node
  VectorField j_total; // A/m^2, total current density
  VectorField ef;      // V/m, electric field
  IntField object_id;  // 1 at nodes held at a fixed potential by an object
  Field phi_m;         // A, magnetic scalar potential
  VectorField B;       // T, magnetic flux density
  VectorField H;       // A/m, magnetic field strength
  VectorField M;       // A/m, magnetisation
  Field phi_m_theory;  // written out for comparison; nothing fills it

  Vec3 x0;       // m, position of node (0, 0, 0)
  Vec3 dh;       // m, node spacing per axis
  Vec3 xm;       // m, position of node (ni-1, nj-1, nk-1)
  Vec3 xc;       // m, centre of the box
  double dt = 0;    // s, time step
  double time = 0;  // s, simulated time
  int32_t ts = -1;  // current step number
  int32_t num_ts = 0;
  Vec3 pin_point_1;  // nodes nearest these points are pinned by the magnetostatic solver
  Vec3 pin_point_2;
  int64_t wall_start;  // ns, steady-clock reading at construction

  // All fields zero with counts (ni, nj, nk); starts the wall clock.
  World(int32_t ni, int32_t nj, int32_t nk);

  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // Stores the corners, derives dh = (xm - x0) / (n - 1) and xc, fills node_vol.
  void setExtents(const Vec3& x0, const Vec3& xm);

  // node_vol = dh.x * dh.y * dh.z, halved once per axis on which the node sits on a wall.
  void computeNodeVolumes();

  // Seconds since construction, on a steady clock.
  double getWallTime() const;

  // Logical coordinate of p: (p - x0) / dh per axis, in node spacings.
  Vec3 toLogical(const Vec3& p) const {
    return {(p.x - x0.x) / dh.x, (p.y - x0.y) / dh.y, (p.z - x0.z) / dh.z};
  }

  // True when x0 <= p < xm on every axis; false for any NaN coordinate.
  bool inBounds(const Vec3& p) const {
    return p.x >= x0.x && p.x < xm.x && p.y >= x0.y && p.y < xm.y && p.z >= x0.z && p.z < xm.z;
  }
};

// Steady-clock reading in nanoseconds.
int64_t steadyNanoseconds();
