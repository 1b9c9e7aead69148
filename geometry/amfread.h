#pragma once

#include <iostream>
#include <string>

#include <vector>

#include "geometry/AmfObject.h"

namespace plasmabox {

// Reads the AMF (XML) file at path and appends one AmfObject per accepted
// `object` element to objects, in file order; then recomputes the
// bounding box of every record in objects, builds the ray index of each
// record that lacks a current one, prints the prompt "Press the enter key once
// the confirmation is complete" and waits for one character from input (end of
// input ends the wait at once).
//
// Coordinates are taken in metres, without unit conversion. Progress lines go
// to std::cout, reports of skipped elements to std::cerr. A file that cannot be
// loaded, or has no `amf` root, is reported and leaves objects unchanged, with no
// prompt. Objects without metadata or mesh, vertices without coordinates and
// triangles with a vertex index outside the accepted vertices are reported and
// skipped.
//
// Throws std::invalid_argument or std::out_of_range for a coordinate or index
// text that is not a number or is out of range, and for a coordinate that is
// NaN or infinite; the message names the element, the object and the file. Records appended before the error stay in
// objects (without box or index).
void amfread(std::vector<AmfObject>& objects, const std::string& path, std::istream& input = std::cin);

}  // namespace plasmabox
