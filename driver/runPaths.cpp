#include "driver/runPaths.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "driver/Run.h"
#include "output/filePlace.h"
#include "output/runFiles.h"

namespace plasmabox {

namespace {

// A path the run reads or writes, and what it is to the run.
struct PathUse {
  std::string path;
  std::string use;
};

[[noreturn]] void refuse(const std::string& path, const std::string& first, const std::string& second) {
  throw std::invalid_argument("\"" + path + "\" is both " + first + " and " + second +
                              ": a run never writes over its own inputs or outputs; choose another name");
}

}  // namespace

void refuseOverwrites(const RunSettings& s, int processes) {
  const RunParameters& p = s.positional;
  const std::vector<WrittenFiles> written =
      runOutputFiles(s.output, p.csv_prefix, p.output_interval, s.max_step,
                     speciesNames(s), processes);
  std::vector<PathUse> inputs = {{p.amf_path, "the AMF geometry file (argument 10)"}};
  for (const std::string& file : s.inputs_files) inputs.push_back({file, "an inputs file (option inputs)"});
  const PathUse history{s.history_path, "the history file (option history)"};

  std::vector<PathUse> checked = inputs;
  if (!history.path.empty()) checked.push_back(history);
  for (const PathUse& u : checked) {
    const std::string output = writtenFileAt(written, u.path);
    if (!output.empty()) refuse(u.path, u.use, output + ", which the run writes");
  }
  if (history.path.empty()) return;
  const FilePlace history_place = placeOf(history.path);
  for (const PathUse& u : inputs)
    if (sameFile(history_place, placeOf(u.path))) refuse(history.path, history.use, u.use);
}

}  // namespace plasmabox
