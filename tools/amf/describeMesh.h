#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "tools/amf/MeshSoup.h"

namespace plasmabox {

// What the converter tells the user about one converted object.
struct MeshReport {
  std::size_t triangle_count = 0;
  std::size_t vertex_count = 0;
  Vec3 bbox_min;                          // metres, component-wise minimum over the vertices
  Vec3 bbox_max;                          // metres, component-wise maximum over the vertices
  std::size_t degenerate_triangles = 0;   // zero area: a repeated vertex or three collinear corners
  std::size_t boundary_edges = 0;         // edges used by one triangle only
  std::size_t non_manifold_edges = 0;     // edges used by three or more triangles
  std::size_t misoriented_edges = 0;      // edges used twice in the same direction
  bool closed = false;                    // every edge shared by exactly two triangles
};

// Counts, bounding box and edge topology of a welded mesh. Edges are taken
// between vertex indices, so the mesh should be welded first. Triangles with a
// repeated vertex index add no edges (they have no area and do not change
// which points a closed surface encloses); they are still counted as
// degenerate. Assumes every index is below the vertex count.
MeshReport describeMesh(const IndexedMesh& mesh);

// Writes the report as indented lines, for the converter's standard output.
void printMeshReport(std::ostream& out, const MeshReport& report);

}  // namespace plasmabox
