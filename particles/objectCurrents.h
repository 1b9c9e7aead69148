#pragma once

#include <cstddef>
#include <vector>

namespace plasmabox {

// Adds to currents (A, per object) the current of one species' absorbed
// particles in a step of dt seconds: charge (C) times the real particles each
// object absorbed (advance's tally), over dt.
inline void addObjectCurrents(std::vector<double>& currents, double charge, const std::vector<double>& absorbed,
                              double dt) {
  for (std::size_t o = 0; o < currents.size() && o < absorbed.size(); ++o) currents[o] += charge * absorbed[o] / dt;
}

}  // namespace plasmabox
