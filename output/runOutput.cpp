#include "output/runOutput.h"

#include <filesystem>

#include "output/imagePieces.h"
#include "output/particleSnapshot.h"
#include "output/stepOutput.h"

namespace plasmabox {

namespace {

// The folder of the VTK files and the series file are found like the VTK file
// name of writeOutput: "vti" and "series.pvd" beside the CSV files.
std::string besideCsvFiles(const std::string& csv_prefix, const std::string& name) {
  return std::filesystem::path(csv_prefix + "output_O_0.csv//..//" + name).lexically_normal().string();
}

}  // namespace

std::string densityFileName(const std::string& csv_prefix, const std::string& species_name, int32_t ts) {
  const std::string tag = !goesToElectronFile(species_name) ? "O"
                          : species_name == "e-"          ? "e"
                                                          : species_name.substr(species_name.find("e-") + 2);
  return csv_prefix + "output_" + tag + "_" + std::to_string(ts) + ".csv";
}

std::string seriesFileName(const std::string& csv_prefix) { return besideCsvFiles(csv_prefix, "series.pvd"); }

void writeStepOutput(RunOutput& output, const World& world, const std::vector<Species>& species) {
  const int32_t ts = world.ts;
  const OutputSettings& s = output.settings;
  const bool fields_due = fieldOutputDue(output, ts);
  const bool particles_due = s.particles_every > 0 && ts % s.particles_every == 0;
  const std::size_t listed = output.series.size();

  if (fields_due) {
    const std::string step = std::to_string(ts);
    const std::string o_file = output.csv_prefix + "output_O_" + step + ".csv";
    std::vector<std::string> files = {o_file};
    for (const Species& sp : species) files.push_back(densityFileName(output.csv_prefix, sp.name, ts));
    const std::string image = s.vtk_parallel ? pieceIndexName(vtkFileName(o_file, ts)) : vtkFileName(o_file, ts);
    if (writeOutputFiles(world, species, files, s) && s.series)
      output.series.push_back({world.time, 0, "vti/" + std::filesystem::path(image).filename().string()});
  }
  if (particles_due) {
    const std::string folder = besideCsvFiles(output.csv_prefix, "vti");
    const std::vector<bool> whole = writeParticleFiles(species, ts, folder, s);
    for (std::size_t n = 0; n < species.size(); ++n)
      if (whole[n] && s.series) output.series.push_back({world.time, static_cast<int>(n) + 1, "vti/" + particleFileName("", ts, species[n].name)});
  }
  if (s.series && output.series.size() > listed && world.part.rank == 0)
    writeSeriesFile(seriesFileName(output.csv_prefix), output.series);
}

}  // namespace plasmabox
