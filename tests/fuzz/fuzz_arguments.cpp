// Arbitrary argument vectors, split at NUL bytes, to the simulation's and the converter's parsers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/RunParameters.h"
#include "mesh/conversions.h"
#include "tools/amf/converterOptions.h"

using namespace plasmabox;

namespace {

std::vector<std::string> splitArguments(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t n = 0; n < size; ++n)
    if (data[n] == 0) args.emplace_back();
    else args.back().push_back(static_cast<char>(data[n]));
  return args;
}

// Runs f, letting only the two documented conversion errors through.
template <class F>
void tolerated(F f) {
  try {
    f();
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  }
}

// The conversions on the first 8 arguments (the parser converts the rest).
void convertEach(const std::vector<std::string>& args) {
  for (size_t n = 0; n < args.size() && n < 8; ++n) {
    tolerated([&] { (void)convertInt(args[n]); });
    tolerated([&] { (void)convertDouble(args[n]); });
    tolerated([&] { (void)convertLongDouble(args[n]); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> args = splitArguments(data, size);
  convertEach(args);
  tolerated([&] {
    std::optional<RunParameters> p = parseRunParameters(args);
    if (p) {
      if (p->remanence.size() != static_cast<size_t>(p->num_objects)) __builtin_trap();
      validateRunParameters(*p);
      overrideRemanence(p->remanence, 1.2);
      (void)buildMagnetisationTable(args, p->remanence);
    }
  });
  try {
    (void)parseConverterArguments(args);
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
