#pragma once

#include <string>
#include <vector>

#include "tools/amf/MeshSoup.h"

namespace plasmabox {

// The AMF document for the given objects, in order: root <amf unit="meter">,
// then per object <object id="i"> whose first child is
// <metadata type="name">NAME</metadata>, then <mesh> with <vertices> of
// <vertex><coordinates><x/><y/><z/></coordinates></vertex> and one <volume>
// of <triangle><v1/><v2/><v3/></triangle> (zero-based indices). Coordinates
// are written in the shortest decimal form that reads back to the same
// double. Names are XML-escaped.
std::string formatAmf(const std::vector<NamedMesh>& objects);

// Writes `text` to `path`, replacing the file. Throws std::runtime_error
// naming the path when it cannot be written completely; a partly written file
// is removed.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace plasmabox
