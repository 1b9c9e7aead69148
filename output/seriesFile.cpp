#include "output/seriesFile.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "output/outputFile.h"
#include "output/vtkDataArrays.h"

namespace plasmabox {

std::string seriesText(const std::vector<SeriesEntry>& entries) {
  std::string s = "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"0.1\">\n<Collection>\n";
  for (const SeriesEntry& e : entries)
    s += "<DataSet timestep=\"" + exactText(e.time) + "\" group=\"\" part=\"" + std::to_string(e.part) + "\" file=\"" +
         xmlEscaped(e.file) + "\"/>\n";
  return s + "</Collection>\n</VTKFile>\n";
}

bool writeSeriesFile(const std::string& path, const std::vector<SeriesEntry>& entries) {
  const std::string temporary = path + ".tmp";
  std::ofstream f;
  openOutputFile(f, temporary);
  if (!f.is_open()) {
    reportCannotOpen(temporary);
    return false;
  }
  f << seriesText(entries);
  std::error_code ec;
  if (!closeAndCheck(f, temporary)) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  // rename(2) replaces path in one step on POSIX file systems.
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::cerr << "Could not write " << path << " (" << ec.message() << ")" << std::endl;
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace plasmabox
