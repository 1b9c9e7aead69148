#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/NodeField.h"
#include "surfaces/VoltageRamp.h"

namespace plasmabox {

// How an object's potential is decided.
enum class ConductorMode {
  RAMPED,    // held at a potential that changes linearly in time (voltageAt of its ramp)
  FLOATING,  // carries the charge it collected; its potential is the one at which it holds exactly that charge
  BIASED,    // held `bias` volts above the floating conductor `reference`, with which it forms one conductor
};

// One object whose potential is not a constant of the voltage table, as the
// field solve sees it.
struct Conductor {
  std::string name;
  int32_t object = -1;     // index into the AMF objects
  ConductorMode mode = ConductorMode::FLOATING;
  int32_t reference = -1;  // BIASED: index (into the conductors) of the floating conductor it follows
  int32_t group = -1;      // FLOATING, BIASED: its floating group, 0 .. groups - 1; -1 for RAMPED
  double bias = 0.0;       // V, BIASED: its potential above its reference's
  VoltageRamp ramp;        // RAMPED: its potential against time
  double area = 0.0;       // m^2, its surface (the Boltzmann electrons' collection)
  double charge = 0.0;     // C, on its own nodes after the last solve (Gauss's law on the mesh)
  double potential = 0.0;  // V, of its nodes in the last solve
};

// The conductors of a run and what the field solve needs of them. A floating
// conductor and the conductors biased against it form one group: they share
// one charge, and one unit solve serves them.
struct ConductorSystem {
  std::vector<Conductor> conductors;
  int32_t groups = 0;
  IntField conductor_of_node;  // index into conductors per stored node, -1 at every other node
  IntField group_of_node;      // the group of that conductor, -1 elsewhere (RAMPED included)
  std::vector<double> group_charge;     // C per group: its start charge plus what it collected (minus what it emitted)
  std::vector<double> group_change;     // C per group: what it collected (minus emitted) in this step
  std::vector<double> group_potential;  // V per group: its floating member's potential in the last solve
  std::vector<double> group_slope;      // F per group: the last measured charge per volt (Boltzmann electrons' secant)
  // Per group: the potential with that group at 1 V, every other held node at
  // 0 V and no charge anywhere; and the matrix of induced charges, F:
  // capacitance[h * groups + g] is the charge on group h per volt of group g.
  std::vector<Field> unit_potential;
  std::vector<double> capacitance;
};

}  // namespace plasmabox
