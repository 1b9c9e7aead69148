#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Decomposition.h"

namespace plasmabox {

// Totals over the processes of a distributed run, the same value on every
// process; on one process the value itself. Sums add the processes' values in
// rank order, so a run's totals do not depend on message timing.
double sumOverProcesses(const Decomposition& part, double value);
int64_t sumOverProcesses(const Decomposition& part, int64_t value);
// Element by element, in place.
void sumOverProcesses(const Decomposition& part, std::vector<double>& values);
double minOverProcesses(const Decomposition& part, double value);
double maxOverProcesses(const Decomposition& part, double value);
// Every process's value, in rank order (on one process: {value}).
std::vector<int64_t> valuesOfAllProcesses(const Decomposition& part, int64_t value);
// True when flag is true on any process.
bool anyProcess(const Decomposition& part, bool flag);

}  // namespace plasmabox
