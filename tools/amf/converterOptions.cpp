#include "tools/amf/converterOptions.h"

#include <set>
#include <stdexcept>

#include "tools/amf/textNumbers.h"

namespace plasmabox {

namespace {

[[noreturn]] void badArgument(const std::string& what) {
  throw std::invalid_argument(what + " (see plasmabox-amf --help)");
}

double parseScale(const std::string& text) {
  double s = 0.0;
  if (!parseFiniteDouble(text, s) || !(s > 0.0)) {
    badArgument("--scale needs a positive finite number, got '" + text + "'");
  }
  return s;
}

// Object names end up in XML text and in the simulation's name tables: no
// control characters, no blanks at either end (the reader would keep them).
void checkName(const std::string& name, const std::string& arg) {
  if (name.empty()) badArgument("empty object name in '" + arg + "'");
  if (isBlank(name.front()) || isBlank(name.back())) badArgument("object name in '" + arg + "' begins or ends with a blank");
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      badArgument("object name in '" + arg + "' holds a control character");
    }
  }
}

ConverterInput parseInput(const std::string& arg) {
  const std::size_t eq = arg.find('=');
  if (eq == std::string::npos) badArgument("expected NAME=FILE[:K] but got '" + arg + "'");
  ConverterInput in;
  in.name = arg.substr(0, eq);
  checkName(in.name, arg);
  in.path = arg.substr(eq + 1);
  // A trailing ":digits" picks the object; a path that itself ends that way
  // can be given as "NAME=PATH:1".
  const std::size_t colon = in.path.rfind(':');
  if (colon != std::string::npos && colon + 1 < in.path.size() &&
      in.path.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
    std::uint64_t k = 0;
    if (!parseIndex(std::string_view(in.path).substr(colon + 1), k) || k < 1 || k > 1000000000) {
      badArgument("object number in '" + arg + "' must be between 1 and 1000000000 (objects count from 1)");
    }
    in.object_number = std::size_t(k);
    in.path.erase(colon);
  }
  if (in.path.empty()) badArgument("no file given in '" + arg + "'");
  return in;
}

}  // namespace

ConverterOptions parseConverterArguments(const std::vector<std::string>& args) {
  ConverterOptions opt;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      opt.help = true;
      return opt;
    }
  }
  std::set<std::string> names;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](const std::string& option) -> const std::string& {
      if (i + 1 >= args.size()) badArgument(option + " needs a value");
      return args[++i];
    };
    if (a == "-o" || a == "--output") {
      opt.output_path = value(a);
      if (opt.output_path.empty()) badArgument(a + " needs a file name");
    } else if (a == "--scale") {
      opt.scale = parseScale(value(a));
    } else if (a.rfind("--scale=", 0) == 0) {
      opt.scale = parseScale(a.substr(8));
    } else if (a == "--ignore-amf-unit") {
      opt.ignore_amf_unit = true;
    } else if (!a.empty() && a.front() == '-') {
      badArgument("unknown option '" + a + "'");
    } else {
      ConverterInput in = parseInput(a);
      if (!names.insert(in.name).second) badArgument("object name '" + in.name + "' is given twice");
      opt.inputs.push_back(std::move(in));
    }
  }
  if (opt.output_path.empty()) badArgument("no output file: give -o OUT.amf");
  if (opt.inputs.empty()) badArgument("no input: give at least one NAME=FILE");
  return opt;
}

std::string converterUsage() {
  return R"(Usage: plasmabox-amf -o OUT.amf [--scale S] [--ignore-amf-unit] NAME=FILE[:K] ...

Converts triangle meshes written by CAD and mesh tools into one AMF file that
plasmabox reads: one object per NAME=FILE argument, named NAME (the name the
voltage and magnetisation tables of the simulation refer to, e.g. electrode1,
electrode2, Body), coordinates in metres.

Input files (the format is told from the content, not from the file name):
  STL     ASCII or binary (a binary STL whose header begins with "solid" is
          recognised by its size). All solids of an ASCII file are merged.
  AMF     plain XML or zipped (a ZIP archive holding one AMF entry), with or
          without object names; colours, normals, edges, materials and other
          metadata are ignored. All volumes of the chosen object are merged.
  :K      picks object K of an AMF file, counted from 1 in file order
          (the id attributes are not used). Default: 1, the first object.

Units:
  --scale S          metres per unit of STL coordinates (STL has no unit).
                     Default 1. Use --scale 0.001 for STL exported in mm,
                     --scale 0.0254 for inches.
  AMF coordinates are converted with the file's unit attribute (millimeter,
  meter, inch, feet, micron; millimeter when absent, as the AMF standard says);
  --scale does not apply to them.
  --ignore-amf-unit  treat AMF coordinates like STL ones: ignore the unit
                     attribute and multiply by S instead.

Processing: corners with exactly equal coordinates (after scaling) are merged
into one vertex; no triangle is removed (zero-area triangles are counted and
kept). For each object the converter prints the triangle count, the bounding
box in metres, and whether the mesh is closed (every edge shared by exactly two
triangles): plasmabox can only tell inside from outside for closed meshes.

Other options:
  -o, --output OUT   the AMF file to write (replaced if it exists)
  -h, --help         print this text and exit

Exit status: 0 on success; 1 on any error (bad option, missing, empty or
malformed file, index out of range, ...), with a message on standard error.
Nothing is written unless every input was read successfully.

Example:
  plasmabox-amf -o scene.amf --scale 0.001 Body=body.stl electrode1=parts.amf:2 \
      electrode2=parts.amf:3 magnet1=magnet.stl
)";
}

}  // namespace plasmabox
