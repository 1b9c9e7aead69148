#pragma once

#include <cstdint>
#include <vector>

namespace plasmabox {

// How the mesh is shared among the processes of a run started by mpirun:
// in slabs of whole node planes along x (the slowest index of every node
// field, so a plane is one contiguous block and a border exchange is one
// message). Process r owns the global planes first_plane[r] up to, not
// including, first_plane[r + 1], and owns the cells whose lower x node is one
// of its planes. Its fields hold its own planes plus one ghost plane on each
// side where a neighbour lies; a single process owns everything and has no
// ghost planes.
struct Decomposition {
  int rank = 0;                      // this process, 0 .. size - 1
  int size = 1;                      // processes sharing the mesh
  std::vector<int32_t> first_plane;  // size + 1 entries; the last is the global node count along x

  bool distributed() const { return size > 1; }
  // The neighbour below (lower x) and above, or -1 at a wall of the box.
  int lower() const { return rank > 0 ? rank - 1 : -1; }
  int upper() const { return rank + 1 < size ? rank + 1 : -1; }
  // Global index of this process's first and one-past-last owned plane.
  int32_t ownedBegin() const { return first_plane[static_cast<std::size_t>(rank)]; }
  int32_t ownedEnd() const { return first_plane[static_cast<std::size_t>(rank) + 1]; }
  // Global index of local plane 0: one below the first owned plane where a
  // ghost plane lies below.
  int32_t localBegin() const { return ownedBegin() - (lower() >= 0 ? 1 : 0); }
  // Planes this process stores: its own and its ghost planes.
  int32_t localCount() const { return ownedEnd() + (upper() >= 0 ? 1 : 0) - localBegin(); }
  // The process owning global cell c along x (clamped into the mesh): the
  // owner of the cell's lower plane; the last plane has no cell of its own.
  int ownerOfCell(int32_t c) const;
};

// One process owning every plane of a mesh with ni planes along x.
Decomposition wholeMesh(int32_t ni);

// The slabs of ni planes for size processes, as even as whole planes allow
// (the first ni % size processes take one plane more). Throws
// std::runtime_error naming argument 1 when a process would own fewer than
// two planes: the relaxation and the border exchange need two.
Decomposition splitIntoSlabs(int32_t ni, int rank, int size);

}  // namespace plasmabox
