#pragma once
// A run inside the test process, so that a test can look at particles and fields between steps.

#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/Run.h"
#include "driver/RunParameters.h"
#include "driver/RunSettings.h"
#include "driver/runOptions.h"
#include "particles/random.h"

namespace plasmabox {

// The settings a command line gives (positional arguments, then options).
inline RunSettings settingsOf(const std::vector<std::string>& args) {
  const std::optional<RunParameters> p = parseRunParameters(args);
  RunSettings s = makeRunSettings(*p);
  const int first = positionalArgumentCount(*p);
  applyRunOptions(s, {args.begin() + first, args.end()}, first + 1);
  finishRunSettings(s);
  return s;
}

// A set-up, initialised run, its console kept apart; step() is false after the last step.
struct InProcessRun {
  RunSettings settings;
  std::unique_ptr<Run> run;
  std::ostringstream console;

  explicit InProcessRun(const std::vector<std::string>& args) : settings(settingsOf(args)) {
    std::streambuf* const old = std::cout.rdbuf(console.rdbuf());
    if (settings.seed) seedRandom(*settings.seed);
    std::istringstream enter("\n");
    run = setUpRun(settings, args, enter);
    initialiseFields(*run);
    std::cout.rdbuf(old);
  }

  bool step() {
    if (!startNextStep(*run->world)) return false;
    std::streambuf* const old = std::cout.rdbuf(console.rdbuf());
    runStep(*run);
    std::cout.rdbuf(old);
    return true;
  }
};

}  // namespace plasmabox
