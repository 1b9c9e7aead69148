#include "geometry/objectNamed.h"

#include <stdexcept>

namespace plasmabox {

std::string quotedObjectNames(std::span<const AmfObject> objects) {
  std::string names;
  for (const AmfObject& o : objects) names += (names.empty() ? "\"" : ", \"") + o.name + "\"";
  return names;
}

std::size_t objectNamed(std::span<const AmfObject> objects, const std::string& name, const std::string& option) {
  for (std::size_t o = 0; o < objects.size(); ++o)
    if (objects[o].name == name) return o;
  const std::string names = quotedObjectNames(objects);
  throw std::invalid_argument("option " + option + ": no object of the AMF file is named \"" + name +
                              "\" (its objects: " + (names.empty() ? "none" : names) + ")");
}

}  // namespace plasmabox
