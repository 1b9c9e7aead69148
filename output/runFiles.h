#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/OutputSettings.h"

namespace plasmabox {

// One family of files a run writes: in folder, the names before + step +
// after for the steps 0, every, 2 every, ... up to last_step, or the single
// name before + after when every is 0. A run of millions of steps is
// described, and matched against a path, without listing its names.
struct WrittenFiles {
  std::string use;      // what the files are, for messages: "the VTK image"
  std::string folder;   // as the writer composes it; "" is the working folder
  std::string before;   // the name's text before the step
  std::string after;    // and after it
  bool padded = false;  // the step zero-padded to 5 digits (longer numbers in full), as in the vti folder
  int64_t every = 0;    // steps between two files; 0: one file, no step
  int64_t last_step = 0;
};

// Every family of files a run of steps 0 to max_step writes with these
// settings: the ion and electron density CSV files (csv_prefix +
// "output_O_" / "output_e_" + step + ".csv") and the VTK image of the steps
// that are multiples of output_interval (with vtk_parallel its index and one
// piece per process instead), one particle file per species at the multiples
// of particles_every, the series file and its temporary copy. The history
// file is not among them.
std::vector<WrittenFiles> runOutputFiles(const OutputSettings& settings, const std::string& csv_prefix,
                                         int32_t output_interval, int32_t max_step,
                                         const std::vector<std::string>& species_names, int processes);

// The path of the file of family f at step ts (ts is ignored for a single
// file), as the writer names it.
std::string writtenFileName(const WrittenFiles& f, int64_t ts);

// The file of the families that writing to path would write, compared as
// files (see output/filePlace.h), named for a message: "the VTK image of step
// 40 (vti/00040.vti)"; empty when path leads to none of them. Existing
// entries of the families' folders are looked at too, for a symbolic or hard
// link that leads to the same file under another name.
std::string writtenFileAt(const std::vector<WrittenFiles>& files, const std::string& path);

}  // namespace plasmabox
