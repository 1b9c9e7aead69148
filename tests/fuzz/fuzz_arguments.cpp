// Feeds arbitrary argument vectors to the simulation's command-line parser and
// to the converter's. Arguments are separated by NUL bytes, the one byte a real
// argument can never hold.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/RunParameters.h"
#include "mesh/conversions.h"
#include "tools/amf/converterOptions.h"

namespace {

std::vector<std::string> splitArguments(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t n = 0; n < size; ++n) {
    if (data[n] == 0)
      args.emplace_back();
    else
      args.back().push_back(static_cast<char>(data[n]));
  }
  return args;
}

// The single conversions on the first few arguments (the parser converts the
// rest; every exception costs time under the sanitizers): a bad text must throw
// one of the two documented errors, nothing else.
void convertEach(const std::vector<std::string>& args) {
  constexpr size_t CONVERTED = 8;
  for (size_t n = 0; n < args.size() && n < CONVERTED; ++n) {
    const std::string& a = args[n];
    try {
      (void)convertInt(a);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
    try {
      (void)convertDouble(a);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
    try {
      (void)convertLongDouble(a);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> args = splitArguments(data, size);
  convertEach(args);
  try {
    std::optional<RunParameters> p = parseRunParameters(args);
    if (p) {
      if (p->remanence.size() != static_cast<size_t>(p->num_objects)) __builtin_trap();
      validateRunParameters(*p);
      overrideRemanence(p->remanence);
      (void)buildMagnetisationTable(args, p->remanence);
    }
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  }
  try {
    (void)parseConverterArguments(args);
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
