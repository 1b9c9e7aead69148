#include "tools/amf/convertMeshes.h"

#include <ostream>

#include "tools/amf/describeMesh.h"
#include "tools/amf/readMeshFile.h"
#include "tools/amf/weldVertices.h"

namespace plasmabox {

std::vector<NamedMesh> convertInputs(const ConverterOptions& options, std::ostream& out) {
  std::vector<NamedMesh> objects;
  for (const ConverterInput& in : options.inputs) {
    const std::string bytes = readFileBytes(in.path);
    const MeshSoup soup = readMeshBytes(bytes, in.path, in.object_number);
    const bool has_unit = soup.format.find("AMF") != std::string::npos && !options.ignore_amf_unit;
    const double factor = has_unit ? soup.metres_per_unit : options.scale;

    NamedMesh object{in.name, weldVertices(soup.corners, factor, in.path)};
    out << "Object \"" << in.name << "\" from " << in.path << " (" << soup.format;
    if (soup.format.find("AMF") != std::string::npos) {
      out << ", object " << in.object_number << " of " << soup.object_count;
      if (!soup.source_name.empty()) out << ", named \"" << soup.source_name << "\"";
      out << ", " << soup.volume_count << (soup.volume_count == 1 ? " volume" : " volumes merged");
    }
    out << ")\n";
    if (has_unit) {
      out << "  unit: " << (soup.unit_label.empty() ? "none given, millimeter by AMF default" : soup.unit_label)
          << ", coordinates x " << factor << " to metres\n";
    } else {
      out << "  unit: coordinates x " << factor << " (--scale) to metres\n";
    }
    printMeshReport(out, describeMesh(object.mesh));
    objects.push_back(std::move(object));
  }
  return objects;
}

void runConversion(const ConverterOptions& options, std::ostream& out) {
  const std::vector<NamedMesh> objects = convertInputs(options, out);
  writeTextFile(options.output_path, formatAmf(objects));
  out << "Wrote " << objects.size() << (objects.size() == 1 ? " object" : " objects") << " to "
      << options.output_path << " (metres)\n";
}

}  // namespace plasmabox
