#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "geometry/AmfObject.h"

namespace plasmabox {

// The objects' names, each in double quotes, joined by ", " ("" for none):
// what a message lists when a name matches none of them.
std::string quotedObjectNames(std::span<const AmfObject> objects);

// The index of the object named name (compared exactly). Throws
// std::invalid_argument naming option and listing the file's objects when
// none carries it.
std::size_t objectNamed(std::span<const AmfObject> objects, const std::string& name, const std::string& option);

}  // namespace plasmabox
