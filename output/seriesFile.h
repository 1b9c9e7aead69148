#pragma once

#include <string>
#include <vector>

namespace plasmabox {

// One file of a run's time series: the simulated time it shows (s), its part
// (0 the mesh fields, 1, 2, ... the particles of species 0, 1, ...) and its
// name relative to the series file's folder ("vti/00040.vti").
struct SeriesEntry {
  double time = 0;
  int part = 0;
  std::string file;
};

// The text of a ParaView collection file (.pvd) listing entries in order:
// one <DataSet timestep="T" group="" part="P" file="F"/> per entry, the time
// written exactly.
std::string seriesText(const std::vector<SeriesEntry>& entries);

// Replaces the collection file at path by one listing entries, atomically: the
// text goes to path + ".tmp" in the same folder, which is then renamed over
// path, so that a reader (or a run stopped at any moment) finds either the
// old complete file or the new one. On failure prints "Could not open NAME"
// or "Could not write NAME" on standard error, leaves the old file as it was
// and returns false.
bool writeSeriesFile(const std::string& path, const std::vector<SeriesEntry>& entries);

}  // namespace plasmabox
