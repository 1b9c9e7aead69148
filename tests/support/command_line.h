#pragma once
// A valid command line for tests; positions are 1-based as in the README's argument table.

#include <string>
#include <vector>

namespace plasmabox {

struct CommandLine {
  std::vector<std::string> args;

  // A 5 x 5 x 5 mesh over [0, 0.04]^3, no loading, no injection, two magnet tuples.
  explicit CommandLine(const std::string& amf_path = "missing.amf") {
    args = {"5", "5", "5",                         // 1-3 node counts
            "0", "0.04", "0", "0.04", "0", "0.04",  // 4-9 extents
            amf_path,                               // 10
            "0", "0", "0", "0.04", "0.04", "0.04",  // 11-16 electron box
            "0", "0", "0", "0.04", "0.04", "0.04",  // 17-22 ion box
            "1e-11", "100",                         // 23, 24 unused
            "",                                     // 25 csv prefix
            "16",                                   // 26 ion mass (amu)
            "100", "1e-6",                          // 27, 28 potential solver
            "0", "0",                               // 29, 30 densities
            "50",                                   // 31 output interval
            "0",                                    // 32 inject mode
            "1", "1",                               // 33, 34 inject faces
            "1000", "1000",                         // 35, 36 drift speeds
            "1e10", "1e10",                         // 37, 38 inject densities
            "0", "0", "0.001", "0.04", "0.04", "0.001",  // 39-44 ion plane
            "0", "0", "0.001", "0.04", "0.04", "0.001",  // 45-50 electron plane
            "100", "1e-6",                          // 51, 52 magnetostatic solver
            "2",                                    // 53 N
            "0.5", "0.7",                           // remanence
            "magnet1", "0", "0", "1",               // tuple 0
            "magnet2", "1", "0", "0"};              // tuple 1
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
