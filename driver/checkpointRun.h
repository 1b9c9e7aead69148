#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/Run.h"
#include "driver/RunSettings.h"

namespace plasmabox {

// Checkpoints of a run and restarts from them: the run's state to and from
// the Checkpoint record (output/Checkpoint.h), which output/checkpoint.cpp
// writes and reads.

// Writes the checkpoint of the step just finished, every process together:
// checkpoint/STEP.h5 beside the CSV files (checkpointFileName), first under
// a temporary name that is renamed once the file is complete, so that a
// crash leaves the previous checkpoints as they were; then the older ones
// beyond checkpoint_keep are removed. Prints "Checkpoint written: PATH" on
// success, or "Could not write checkpoint PATH: REASON" on standard error
// (the run goes on). Returns whether it was written, the same answer on
// every process, and remembers the file in run.checkpoint_path.
bool writeRunCheckpoint(Run& run);

// writeRunCheckpoint at the steps above 0 that are multiples of
// checkpoint_every (when that is above 0).
void writeDueCheckpoint(Run& run);

// Before the set-up of a restart: reads the summary of the checkpoint
// settings.restart_path and checks that it continues this run (the same
// fingerprint, runFingerprint; no other seed). Returns the checkpoint's
// seed, from which the run's streams came. Throws std::invalid_argument or
// std::runtime_error naming the file and what differs.
uint32_t checkRestart(const RunSettings& settings, const std::vector<std::string>& args);

// The state of the checkpoint settings.restart_path put into a run built by
// setUpRun and initialiseFields: step and time, phi, E (and B when the
// checkpoint holds it), each species' particles, tile ranges and density,
// the random streams, the series file's list; the history file is continued
// after the checkpoint's step. On as many processes as the writing run every
// process takes its own particles and generator back; on another number the
// particles go to the processes whose slabs hold them and each process
// starts a new stream (useContinuationStream). Prints "Restarted from FILE
// at step N (time T s):" and each species' macro-particle count and charge
// (C), summed over the processes. A failure on any process stops every
// process (RunStopped) once printed.
void restoreCheckpoint(Run& run);

}  // namespace plasmabox
