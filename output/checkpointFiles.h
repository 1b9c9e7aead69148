#pragma once

#include <cstdint>
#include <string>

namespace plasmabox {

// Where a run keeps its checkpoints, and how a finished one takes its place.

// Name of the checkpoint of step: the folder "checkpoint" beside the CSV
// files (resolved like the vti folder), the step zero-padded to 5 digits
// (longer numbers in full), ".h5": "run/a_" and 400 give
// "run/checkpoint/00400.h5".
std::string checkpointFileName(const std::string& csv_prefix, int32_t step);

// The name a checkpoint is written under until it is complete: path + ".tmp".
std::string unfinishedName(const std::string& path);

// Makes the complete file unfinished the file path: flushes its contents to
// the disk, renames it over path (one step on POSIX file systems: a reader,
// or a crash, sees the old file or the new one, never a part) and flushes
// the folder, so that the new name survives a crash too. Throws
// std::runtime_error naming the file when any of it fails.
void commitFile(const std::string& unfinished, const std::string& path);

// Removes from the folder of the checkpoint newest (a name of
// checkpointFileName) the checkpoints of earlier steps but the keep - 1 latest
// of them (keep 0: none is removed), and what unfinished writes of earlier
// steps left there (their .tmp files). Files of other names and of later
// steps are left alone. A file that cannot be removed is reported on standard
// error; nothing throws.
void pruneCheckpoints(const std::string& newest, int32_t keep);

}  // namespace plasmabox
