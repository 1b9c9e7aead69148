#pragma once

#include "driver/RunSettings.h"

namespace plasmabox {

// Refuses a run that would write over its own inputs or outputs, before
// anything is read or written: the history file, the AMF file or an inputs
// file that leads (as a file: see output/filePlace.h) to a file the run
// writes at any of its steps, or a history file that is one of the inputs.
// processes is the number of processes of the run (each writes its own VTK
// piece with vtk_parallel). Throws std::invalid_argument naming the path and
// both its uses.
void refuseOverwrites(const RunSettings& settings, int processes);

}  // namespace plasmabox
