#include "driver/simulation.h"

#include "driver/processConsole.h"
#include "driver/runOptions.h"
#include "driver/runPaths.h"

#include <exception>
#include <iostream>
#include <memory>
#include <optional>

#include "driver/Run.h"
#include "driver/checkpointRun.h"
#include "driver/stopSignals.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"
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
  std::optional<uint32_t> restart_seed;
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
    // Before the set-up, which can take minutes: a checkpoint of another run is refused at once.
    if (!settings->restart_path.empty()) restart_seed = checkRestart(*settings, args);
  } catch (...) {
    failure = std::current_exception();
  }
  stopOnAnyFailure(Decomposition{place.rank, place.size, {}}, failure);

  // A restart's streams come from its checkpoint's seed, which the options line then shows.
  if (restart_seed) seedRandom(*restart_seed);
  else if (settings->seed) seedRandom(*settings->seed);
  if (!options.empty()) std::cout << effectiveOptionsLine(*settings, randomSeed()) << std::endl;
  return runWithSettings(*settings, args, input);
}

namespace {

// The stop signal received by any process (the largest number), once the
// step just finished is not the last one: every process stops at the same step.
int stopRequested(const Run& run) {
  const World& world = *run.world;
  if (world.ts >= world.num_ts) return 0;
  return static_cast<int>(maxOverProcesses(world.part, static_cast<double>(stopSignalReceived())));
}

// The way out on a scheduler's warning: a checkpoint of the step just
// finished (unless that step wrote one), then the status that tells a job
// chain to restart.
int stopAtSignal(Run& run, int signal) {
  const int32_t ts = run.world->ts;
  if (run.checkpoint_step != ts && !writeRunCheckpoint(run)) {
    std::cerr << "Stopped at step " << ts << " on " << signalName(signal) << " without a checkpoint" << std::endl;
    return 1;
  }
  std::cout << "Stopped at step " << ts << " on " << signalName(signal) << ": continue with restart="
            << run.checkpoint_path << std::endl;
  return EXIT_STOPPED_EARLY;
}

}  // namespace

int runWithSettings(const RunSettings& settings, const std::vector<std::string>& args, std::istream& input) {
  watchStopSignals();
  const std::unique_ptr<Run> run = setUpRun(settings, args, input);
  initialiseFields(*run);
  if (!settings.restart_path.empty()) restoreCheckpoint(*run);
  while (startNextStep(*run->world)) {
    runStep(*run);
    if (const int signal = stopRequested(*run)) return stopAtSignal(*run, signal);
  }
  finishRun(*run);
  return 0;
}

}  // namespace plasmabox
