#pragma once

#include <cstdint>

namespace plasmabox {

// What a deposition forms per node: DENSITY the number density alone (all
// the charge density needs), FULL the density and the mean velocity (what
// the currents and the output read). The density is the same bits either way.
enum class Moments : uint8_t { DENSITY, FULL };

}  // namespace plasmabox
