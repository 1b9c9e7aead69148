#pragma once
// A valid command line for tests; positions are 1-based as in the README's argument table.

#include <string>
#include <vector>

namespace plasmabox {

struct CommandLine {
  std::vector<std::string> args;

  // A 5 x 5 x 5 mesh over [0, 0.04]^3, no loading, no injection, two magnet tuples.
  explicit CommandLine(const std::string& amf_path = "missing.amf") {
    args = {"5", "5", "5", "0", "0.04", "0", "0.04", "0", "0.04",  // 1-3 node counts, 4-9 extents
            amf_path,                                                    // 10
            "0", "0", "0", "0.04", "0.04", "0.04",                       // 11-16 electron box
            "0", "0", "0", "0.04", "0.04", "0.04",                       // 17-22 ion box
            "1e-11", "100", "", "16",  // 23, 24 unused, 25 csv prefix, 26 ion mass (amu)
            "100", "1e-6", "0", "0",   // 27, 28 potential solver, 29, 30 densities
            "50", "0", "1", "1",       // 31 output interval, 32 inject mode, 33, 34 inject faces
            "1000", "1000", "1e10", "1e10",                // 35, 36 drift speeds, 37, 38 inject densities
            "0", "0", "0.001", "0.04", "0.04", "0.001",  // 39-44 ion plane
            "0", "0", "0.001", "0.04", "0.04", "0.001",  // 45-50 electron plane
            "100", "1e-6", "2", "0.5", "0.7",            // 51, 52 magnetostatic solver, 53 N, remanence
            "magnet1", "0", "0", "1", "magnet2", "1", "0", "0"};  // the two tuples
  }

  CommandLine& set(int position, const std::string& value) {
    args[static_cast<std::size_t>(position - 1)] = value;
    return *this;
  }

  // The arguments followed by run options.
  std::vector<std::string> with(const std::vector<std::string>& options) const {
    std::vector<std::string> all = args;
    all.insert(all.end(), options.begin(), options.end());
    return all;
  }
};

}  // namespace plasmabox
