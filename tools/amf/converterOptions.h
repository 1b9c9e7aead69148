#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace plasmabox {

// One NAME=FILE[:K] argument.
struct ConverterInput {
  std::string name;               // object name written into the output
  std::string path;               // mesh file to read
  std::size_t object_number = 1;  // AMF object to take, counted from 1 in file order
};

// The converter's command line.
struct ConverterOptions {
  bool help = false;              // --help / -h: print usage and do nothing else
  std::string output_path;        // -o OUT.amf
  double scale = 1.0;             // --scale S: metres per unit of unit-less coordinates
  bool ignore_amf_unit = false;   // --ignore-amf-unit: AMF coordinates are scaled by S like STL ones
  std::vector<ConverterInput> inputs;
};

// Parses the arguments after the program name. Throws std::invalid_argument
// with a message naming the argument for an unknown option, a missing or bad
// value, a malformed NAME=FILE[:K], a repeated name, no -o or no input. With
// --help anywhere, returns at once with help set and nothing else checked.
ConverterOptions parseConverterArguments(const std::vector<std::string>& args);

// The usage text printed by --help.
std::string converterUsage();

}  // namespace plasmabox
