#pragma once

#include <string>
#include <vector>

#include "driver/Run.h"

namespace plasmabox {

// The phases of a run whose surfaces emit electrons: the driver keeps their
// order; the physics lives in surfaces/.

// The set-up of emission on this process (no messages between processes):
// the scene's ray tree, the sunlit triangles with each object's photoelectron
// current, the objects' secondary yields with their triangles' outward
// normals. Throws std::invalid_argument naming the option for a name no
// object of the AMF file carries (listing the file's names), and, naming the
// object, for an object whose outward side cannot be told.
void setUpEmission(Run& run);

// The step's emission, after every species' push: each electron species'
// impacts set secondaries free, then the sunlit triangles emit
// photoelectrons, all into the emitted species. The charge they carry away
// is taken from what the objects collected in the step (run.collected).
void emitElectrons(Run& run);

// The history columns of emission: photo_OBJECT_A and secondary_OBJECT_A
// per object (the charge per second the emitted electrons carry away,
// negative).
std::vector<std::string> emissionColumns(const Run& run);

// Their values for the step just done, totals over the processes (every
// process must call it).
std::vector<double> emissionValues(const Run& run);

}  // namespace plasmabox
