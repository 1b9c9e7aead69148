#include "output/runFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "output/filePlace.h"
#include "output/imagePieces.h"
#include "output/particleSnapshot.h"
#include "output/runOutput.h"
#include "output/stepOutput.h"

namespace plasmabox {

namespace fs = std::filesystem;

namespace {

std::string stepText(const WrittenFiles& f, int64_t ts) {
  std::string step = std::to_string(ts);
  if (f.padded && step.size() < 5) step.insert(0, 5 - step.size(), '0');
  return step;
}

// The step whose file of family f is called name, if one is.
std::optional<int64_t> stepOfName(const WrittenFiles& f, const std::string& name) {
  if (f.every == 0) return name == f.before + f.after ? std::optional<int64_t>(0) : std::nullopt;
  if (name.size() <= f.before.size() + f.after.size() || name.compare(0, f.before.size(), f.before) != 0 ||
      name.compare(name.size() - f.after.size(), f.after.size(), f.after) != 0)
    return std::nullopt;
  const std::string digits = name.substr(f.before.size(), name.size() - f.before.size() - f.after.size());
  if (digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int64_t ts = std::strtoll(digits.c_str(), nullptr, 10);
  // "7" and "007" are different files: only the writer's own spelling counts.
  if (stepText(f, ts) != digits || ts > f.last_step || ts % f.every != 0) return std::nullopt;
  return ts;
}

// A family whose folder and name pattern come from a file name the writer composes.
WrittenFiles family(std::string use, const std::string& sample, const std::string& sample_name, std::string after,
                    bool padded, int64_t every, int64_t last_step) {
  const fs::path p(sample);
  WrittenFiles f{std::move(use), p.parent_path().string(), "", std::move(after), padded, every, last_step};
  // The part of the sample's name before its step (or the whole name of a single file).
  f.before = sample_name.substr(0, sample_name.size() - f.after.size() - (every > 0 ? stepText(f, 0).size() : 0));
  return f;
}

std::string describe(const WrittenFiles& f, int64_t ts) {
  return f.use + (f.every > 0 ? " of step " + std::to_string(ts) : "") + " (" + writtenFileName(f, ts) + ")";
}

}  // namespace

std::vector<WrittenFiles> runOutputFiles(const OutputSettings& s, const std::string& csv_prefix,
                                         int32_t output_interval, int32_t max_step, const std::vector<std::string>& species_names,
                                         int processes) {
  std::vector<WrittenFiles> files;
  const int64_t fields_every = std::llabs(static_cast<int64_t>(output_interval));  // the sign does not matter
  const std::string o_file = csv_prefix + "output_O_0.csv";
  for (const auto& [use, kind] :
       {std::pair{"the ion density CSV file", "output_O_"}, {"the electron density CSV file", "output_e_"}}) {
    const std::string sample = csv_prefix + kind + "0.csv";
    files.push_back(family(use, sample, fs::path(sample).filename().string(), ".csv", false, fields_every, max_step));
  }
  // Species beyond the ions and the electrons (the emitted electrons) have density files of their own.
  for (const std::string& name : species_names) {
    const std::string sample = densityFileName(csv_prefix, name, 0);
    if (name == "O+" || name == "e-") continue;
    files.push_back(family("the density CSV file of " + name, sample, fs::path(sample).filename().string(), ".csv",
                           false, fields_every, max_step));
  }
  const std::string image = vtkFileName(o_file, 0);
  const std::string vti_name = fs::path(image).filename().string();
  if (s.vtk_parallel) {
    const std::string index = pieceIndexName(image);
    files.push_back(
        family("the VTK index", index, fs::path(index).filename().string(), ".pvti", true, fields_every, max_step));
    for (int p = 0; p < processes; ++p) {
      const std::string piece = pieceFileName(index, p);
      std::string after = ".";
      after.append(std::to_string(p)).append(".vti");
      files.push_back(family("the VTK piece " + std::to_string(p), piece, fs::path(piece).filename().string(),
                             after, true, fields_every, max_step));
    }
  } else {
    files.push_back(family("the VTK image", image, vti_name, ".vti", true, fields_every, max_step));
  }
  if (s.particles_every > 0) {
    const std::string folder = fs::path(image).parent_path().string();
    for (const std::string& name : species_names) {
      const std::string sample = particleFileName(folder, 0, name);
      files.push_back(family("the " + name + " particle file", sample, fs::path(sample).filename().string(),
                             "." + name + ".vtp", true, s.particles_every, max_step));
    }
  }
  if (s.series) {
    const std::string series = seriesFileName(csv_prefix);
    files.push_back(family("the series file", series, fs::path(series).filename().string(), "", false, 0, 0));
    files.push_back(family("the series file's temporary copy", series + ".tmp",
                           fs::path(series).filename().string() + ".tmp", "", false, 0, 0));
  }
  return files;
}

std::string writtenFileName(const WrittenFiles& f, int64_t ts) {
  const std::string name = f.before + (f.every > 0 ? stepText(f, ts) : "") + f.after;
  return f.folder.empty() ? name : (fs::path(f.folder) / name).string();
}

std::string writtenFileAt(const std::vector<WrittenFiles>& files, const std::string& path) {
  const FilePlace target = placeOf(path);
  // The name path leads to, in the folder of a family.
  for (const WrittenFiles& f : files) {
    const std::optional<int64_t> ts = stepOfName(f, target.name);
    if (ts && sameFile(placeOf(writtenFileName(f, *ts)), target)) return describe(f, *ts);
  }
  // Another name for the same file: a hard link to path, or a symbolic link
  // that leads to it, among the files already in the families' folders.
  std::vector<std::string> scanned;
  for (const WrittenFiles& folder : files) {
    if (std::find(scanned.begin(), scanned.end(), folder.folder) != scanned.end()) continue;
    scanned.push_back(folder.folder);
    std::error_code ec;
    for (fs::directory_iterator entry(folder.folder.empty() ? "." : folder.folder, ec), end; !ec && entry != end;
         entry.increment(ec)) {
      const bool link = entry->is_symlink(ec);
      if (!link && !target.regular) continue;  // only a link can lead to a file not yet there
      const std::string name = entry->path().filename().string();
      for (const WrittenFiles& f : files) {
        if (f.folder != folder.folder) continue;
        const std::optional<int64_t> ts = stepOfName(f, name);
        if (ts && sameFile(placeOf(entry->path().string()), target)) return describe(f, *ts);
      }
    }
  }
  return "";
}

}  // namespace plasmabox
