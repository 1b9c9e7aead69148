#pragma once

#include <cstdint>

#include "mesh/NodeField.h"
#include "mesh/Grid.h"
#include "mesh/World.h"

namespace plasmabox {

// Differential operators on whole node fields and the per-step field update
// (one explicit Faraday/Ampere step on top of the electrostatic field).
// Spacings come from grid.dh; the fields carry their own counts.

// Minus the gradient of f at every node, in f's units per metre (V/m for a
// potential in V). Interior nodes use the central difference; the wall nodes
// use the second-order one-sided differences (coefficients -3, 4, -1 and
// 1, -4, 3 over twice the spacing), so linear and quadratic fields come out
// exact. On a slab of a distributed mesh only the owned planes are written.
// An axis with only 2 nodes falls back to the one plain difference
// between them; an axis with a single node gives a zero component.
VectorField minusGradient(const Field& f, const Grid& grid);

// Curl of F per mesh cell, in F's units per metre. The result has counts
// (ni + pad, nj + pad, nk + pad); the curl of the cell with lower corner
// (i, j, k) is stored at (i + pad, j + pad, k + pad). Nodes that no cell
// writes (the upper layers when pad = 0) stay zero, as does the whole result
// when any count of F is below 2. The curl of a constant field is exactly zero.
VectorField curl(const VectorField& F, uint8_t pad, const Grid& grid);

// Wall taper weight of index q on an axis of n nodes: 0 on the wall, 0.75 one
// node inside, 1 further in (1 - (2 - q)^2 / 4 below index 2,
// 1 - (q - (n - 3))^2 / 4 above index n - 3).
double taperWeight(int q, int n);

// Multiplies, in place, each component of ef by the taper weight of the node
// index along that component's own axis (x by w(i, ni), y by w(j, nj), z by
// w(k, nk)), so the field normal to a wall vanishes on it.
void dampBoundaryLayers(VectorField& ef);

// The same on a slab whose local plane 0 is global plane i0 of gni: the
// weights along x follow the global index.
void dampBoundaryLayers(VectorField& ef, int32_t i0, int32_t gni);

// Adds the uniform vector v to every stored node of f (ghost planes
// included): a background field that the solves and the update leave alone.
void addUniform(VectorField& f, const Vec3& v);

// The electric field of the electrostatic model: ef := minusGradient(phi),
// tapered at the walls by dampBoundaryLayers. B is left alone.
void electrostaticField(World& world);

// One field step, in this order and with exactly this arithmetic per value:
//   ef := minusGradient(phi)
//   B  := B - dt * curl(ef, 0)
//   ef := ef + dt * (C2 * curl(B, 0) - (1 / EPS_0) * j_total)   (new B)
//   dampBoundaryLayers(ef)
// Reads phi and j_total, rewrites ef entirely, accumulates into B. Runs
// serially and in place: it needs one line of scratch, not whole-field
// temporaries. Assumes phi, j_total, ef and B all have the world's counts.
void updateFields(World& world);

}  // namespace plasmabox
