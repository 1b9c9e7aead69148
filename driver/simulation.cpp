#include "driver/simulation.h"

#include "driver/processConsole.h"
#include "driver/runOptions.h"
#include "driver/runPaths.h"

#include <exception>
#include <iostream>
#include <memory>
#include <optional>

#include "driver/Run.h"
#include "mesh/messagePassing.h"
#include "particles/random.h"

namespace plasmabox {

int runSimulation(const std::vector<std::string>& args, std::istream& input) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << usageText();
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << "plasmabox " << PLASMABOX_VERSION << "\n";
    return 0;
  }
  const ProcessPlace place = joinProcesses();
  std::optional<RunSettings> settings;
  std::vector<std::string> options;
  std::exception_ptr failure;
  try {
    const std::optional<RunParameters> parsed = parseRunParameters(args);
    if (!parsed) return 1;  // the same on every process: each stops here
    validateRunParameters(*parsed);
    settings = makeRunSettings(*parsed);
    const int first = positionalArgumentCount(*parsed);
    options.assign(args.begin() + first, args.end());
    applyRunOptions(*settings, options, first + 1);
    finishRunSettings(*settings);
    refuseOverwrites(*settings, place.size);
  } catch (...) {
    failure = std::current_exception();
  }
  stopOnAnyFailure(Decomposition{place.rank, place.size, {}}, failure);

  if (settings->seed) seedRandom(*settings->seed);
  if (!options.empty()) std::cout << effectiveOptionsLine(*settings, randomSeed()) << std::endl;
  return runWithSettings(*settings, args, input);
}

int runWithSettings(const RunSettings& settings, const std::vector<std::string>& args, std::istream& input) {
  const std::unique_ptr<Run> run = setUpRun(settings, args, input);
  initialiseFields(*run);
  while (startNextStep(*run->world)) runStep(*run);
  finishRun(*run);
  return 0;
}

}  // namespace plasmabox
