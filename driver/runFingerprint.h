#pragma once

#include <string>
#include <vector>

#include "driver/RunSettings.h"
#include "output/Checkpoint.h"

namespace plasmabox {

// What the physics of a run depends on, by name, so that a restart can tell
// which of it changed: the positional arguments of the mesh, the loading
// boxes and densities, the ion mass, the sources and the magnets (as their
// magnetisation per magnet, after the remanence override), a checksum of
// the AMF file's contents (zlib's CRC-32 and the byte count; "unreadable"
// when it cannot be read), the physics options (physicsOptions) and the end
// of each voltage ramp (the last step: max_step matters there). Left
// out, because a restart may change them: the AMF file's name (10), the two
// unused positions (23, 24), the CSV prefix (25), the solver limits and
// tolerances (27, 28, 51, 52) and the output interval (31). args are the
// command line the settings came from (the magnet tuples are read from it).
std::vector<FingerprintEntry> runFingerprint(const RunSettings& settings, const std::vector<std::string>& args);

// Throws std::invalid_argument naming path, the first entry whose value
// differs between the checkpoint's run (stored) and this one (now), or that
// only one of them has, and both values.
void checkSameFingerprint(const std::vector<FingerprintEntry>& stored, const std::vector<FingerprintEntry>& now,
                          const std::string& path);

}  // namespace plasmabox
