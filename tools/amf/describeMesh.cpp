#include "tools/amf/describeMesh.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

namespace plasmabox {

MeshReport describeMesh(const IndexedMesh& mesh) {
  MeshReport r;
  r.triangle_count = mesh.triangles.size();
  r.vertex_count = mesh.vertices.size();
  if (!mesh.vertices.empty()) {
    r.bbox_min = r.bbox_max = mesh.vertices.front();
    for (const Vec3& v : mesh.vertices) {
      for (int d = 0; d < 3; ++d) {
        r.bbox_min[d] = std::min(r.bbox_min[d], v[d]);
        r.bbox_max[d] = std::max(r.bbox_max[d], v[d]);
      }
    }
  }

  // Each used edge as (smaller index << 32 | larger index) << 1 | direction,
  // where direction 1 means the triangle walks it from larger to smaller.
  std::vector<std::uint64_t> edges;
  edges.reserve(3 * mesh.triangles.size());
  for (const auto& t : mesh.triangles) {
    const Vec3 area = cross(mesh.vertices[t[1]] - mesh.vertices[t[0]], mesh.vertices[t[2]] - mesh.vertices[t[0]]);
    if (area == Vec3{}) ++r.degenerate_triangles;
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
    for (int e = 0; e < 3; ++e) {
      const std::uint64_t from = t[e];
      const std::uint64_t to = t[(e + 1) % 3];
      const std::uint64_t lo = std::min(from, to);
      const std::uint64_t hi = std::max(from, to);
      edges.push_back((((lo << 32) | hi) << 1) | (from > to ? 1u : 0u));
    }
  }
  std::sort(edges.begin(), edges.end());
  for (std::size_t i = 0; i < edges.size();) {
    std::size_t j = i;
    while (j < edges.size() && (edges[j] >> 1) == (edges[i] >> 1)) ++j;
    const std::size_t uses = j - i;
    if (uses == 1) ++r.boundary_edges;
    if (uses > 2) ++r.non_manifold_edges;
    // Sorted, so a pair walked in opposite directions has bits 0 then 1.
    if (uses == 2 && (edges[i] & 1u) == (edges[i + 1] & 1u)) ++r.misoriented_edges;
    i = j;
  }
  r.closed = r.triangle_count > 0 && r.boundary_edges == 0 && r.non_manifold_edges == 0;
  return r;
}

void printMeshReport(std::ostream& out, const MeshReport& r) {
  out << "  triangles: " << r.triangle_count << ", vertices after merging: " << r.vertex_count << "\n";
  out << "  bounding box [m]: (" << r.bbox_min.x << ", " << r.bbox_min.y << ", " << r.bbox_min.z << ") to ("
      << r.bbox_max.x << ", " << r.bbox_max.y << ", " << r.bbox_max.z << ")\n";
  out << "  size [m]: " << r.bbox_max.x - r.bbox_min.x << " x " << r.bbox_max.y - r.bbox_min.y << " x "
      << r.bbox_max.z - r.bbox_min.z << "\n";
  if (r.closed) {
    out << "  closed: yes (every edge shared by exactly two triangles)";
    if (r.misoriented_edges > 0) {
      out << ", but " << r.misoriented_edges << " edge(s) have neighbours facing opposite ways";
    }
    out << "\n";
  } else {
    out << "  closed: NO (" << r.boundary_edges << " edge(s) used by one triangle, " << r.non_manifold_edges
        << " by three or more); points inside an open mesh are not reliably detected\n";
  }
  if (r.degenerate_triangles > 0) {
    out << "  degenerate (zero-area) triangles: " << r.degenerate_triangles << " (kept)\n";
  }
}

}  // namespace plasmabox
