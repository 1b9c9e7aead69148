#pragma once

#include <cstdint>
#include <vector>

#include "mesh/World.h"

namespace plasmabox {

// C per label 0 .. count - 1: the charge that Gauss's law on the mesh puts on
// the nodes labelled with it (labels: one value per stored node, -1 or
// anything outside 0 .. count - 1 for none), without the particles' charge
// deposited there:
//   Q = sum over those nodes of node_vol (-EPS_0 lap(phi) - rho),
// lap the seven-point Laplacian, with the missing neighbour of a wall node
// taken equal to its inner one (a zero normal gradient: the node's half
// volume then balances the flux through its inner faces). It is the flux of
// EPS_0 E out of those nodes' control volumes less the particles' charge in
// them: a charge held on a conductor's nodes, which does not jump when a
// particle near its surface deposits onto them. Linear in phi and rho, so the
// charges of a sum of potentials are the sums of their charges.
//
// On a slab of a distributed run every process must call it: each adds its
// owned nodes (phi's ghost planes must hold the neighbours' values) and the
// sums are totals over the processes, added in rank order.
std::vector<double> gaussCharges(const World& world, const IntField& labels, int32_t count);

}  // namespace plasmabox
