#pragma once

#include <string>
#include <vector>

#include "driver/Run.h"

namespace plasmabox {

// The history file's columns after the standard ones: the conductors'
// potentials and charges, then the objects' emitted currents.
std::vector<std::string> historyExtraColumns(const Run& run);

// Their values after the step just done (every process must call it: the
// emitted currents are totals over the processes).
std::vector<double> historyExtraValues(const Run& run);

}  // namespace plasmabox
