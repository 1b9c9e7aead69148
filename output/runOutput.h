#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/World.h"
#include "output/OutputSettings.h"
#include "output/seriesFile.h"
#include "particles/Species.h"

namespace plasmabox {

// What a run writes at its steps, and the files of its series written so far.
struct RunOutput {
  OutputSettings settings;
  std::string csv_prefix;         // put in front of the density CSV names
  int32_t output_interval = 1;    // fields at the steps that are multiples of it (not 0; the sign does not matter)
  std::vector<SeriesEntry> series;  // every VTK file written whole so far, in order
};

// The density CSV file of a species at step ts: csv_prefix + "output_" + tag
// + "_" + ts + ".csv", the tag "O" for the ions, "e" for "e-", and for other
// electron species their name after "e-" ("e-emitted": "emitted").
std::string densityFileName(const std::string& csv_prefix, const std::string& species_name, int32_t ts);

// Name of the collection file of a run: series.pvd beside its vti folder,
// resolved like the VTK file names ("run/a_" gives "run/series.pvd").
std::string seriesFileName(const std::string& csv_prefix);

// Whether step ts writes the mesh fields (a multiple of output_interval).
inline bool fieldOutputDue(const RunOutput& output, int32_t ts) { return ts % output.output_interval == 0; }

// Writes the files due at step world.ts:
//  - at multiples of output_interval, the VTK file and the density CSV files
//    (writeOutputFiles), named by densityFileName;
//  - at multiples of settings.particles_every (when above 0), one particle
//    snapshot per species in the vti folder (writeParticleFiles);
//  - with settings.series, after them, series.pvd rewritten atomically,
//    listing every VTK file written whole so far at world.time, part 0 for
//    the fields, 1 + the species index for particles. A file whose writing
//    failed is reported and not listed; the series file and the files of
//    earlier steps stay valid. With settings.vtk_parallel the series lists
//    the image's .pvti index.
// In a distributed run every process calls it together, at every step (it
// gathers and exchanges messages); rank 0 writes every file but the image
// pieces, and the others keep the same series list.
void writeStepOutput(RunOutput& output, const World& world, const std::vector<Species>& species);

}  // namespace plasmabox
