#include "mesh/ghostPlanes.h"

#include <mpi.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace plasmabox {

namespace {

uint64_t bytes_sent = 0;

constexpr int TO_UPPER = 11;  // message tags: which way a plane travels
constexpr int TO_LOWER = 12;

// Sends count bytes from send to process to and receives as many into recv
// from process from; either may be -1 (nothing to send or receive).
void swapPlanes(const void* send, int to, void* recv, int from, std::size_t count, int tag) {
  if (count > static_cast<std::size_t>(INT32_MAX)) throw std::runtime_error("a plane of the mesh is too large to send");
  const int n = static_cast<int>(count);
  if (to >= 0) bytes_sent += count;
  MPI_Sendrecv(send, to >= 0 ? n : 0, MPI_BYTE, to >= 0 ? to : MPI_PROC_NULL, tag, recv, from >= 0 ? n : 0, MPI_BYTE,
               from >= 0 ? from : MPI_PROC_NULL, tag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
}

// The border planes of a slab field: its ghost planes (local planes 0 and
// ni - 1, where a neighbour lies) and the owned planes next to them.
template <class T>
struct BorderPlanes {
  std::size_t plane = 0;  // values per plane
  int lower = -1, upper = -1;
  T *first_ghost = nullptr, *last_ghost = nullptr, *first_owned = nullptr, *last_owned = nullptr;

  BorderPlanes(const Decomposition& part, NodeField<T>& f)
      : plane(static_cast<std::size_t>(f.nj) * static_cast<std::size_t>(f.nk)),
        lower(part.lower()),
        upper(part.upper()),
        first_ghost(f.data.data()),
        last_ghost(f.data.data() + plane * static_cast<std::size_t>(f.ni - 1)),
        first_owned(lower >= 0 ? first_ghost + plane : first_ghost),
        last_owned(upper >= 0 ? last_ghost - plane : last_ghost) {}
  std::size_t bytes() const { return plane * sizeof(T); }
};

template <class T>
void exchange(const Decomposition& part, NodeField<T>& f) {
  if (!part.distributed() || f.ni < 2) return;
  const BorderPlanes<T> b(part, f);
  // Upwards: my last owned plane becomes the upper neighbour's lower ghost.
  swapPlanes(b.last_owned, b.upper, b.first_ghost, b.lower, b.bytes(), TO_UPPER);
  // Downwards: my first owned plane becomes the lower neighbour's upper ghost.
  swapPlanes(b.first_owned, b.lower, b.last_ghost, b.upper, b.bytes(), TO_LOWER);
}

template <class T>
void addToOwners(const Decomposition& part, NodeField<T>& f) {
  if (!part.distributed() || f.ni < 2) return;
  const BorderPlanes<T> b(part, f);
  std::vector<T> received(b.plane);
  // Upper ghost contributions go up and are added to the neighbour's first owned plane.
  swapPlanes(b.last_ghost, b.upper, received.data(), b.lower, b.bytes(), TO_UPPER);
  if (b.lower >= 0)
    for (std::size_t q = 0; q < b.plane; ++q) b.first_owned[q] += received[q];
  // Lower ghost contributions go down, to the neighbour's last owned plane.
  swapPlanes(b.first_ghost, b.lower, received.data(), b.upper, b.bytes(), TO_LOWER);
  if (b.upper >= 0)
    for (std::size_t q = 0; q < b.plane; ++q) b.last_owned[q] += received[q];
  // Every copy now shows the owner's total.
  exchange(part, f);
}

}  // namespace

uint64_t ghostBytesSent() { return bytes_sent; }

void exchangeGhostPlanes(const Decomposition& part, Field& f) { exchange(part, f); }
void exchangeGhostPlanes(const Decomposition& part, VectorField& f) { exchange(part, f); }
void exchangeGhostPlanes(const Decomposition& part, IntField& f) { exchange(part, f); }
void addGhostPlanesToOwners(const Decomposition& part, Field& f) { addToOwners(part, f); }
void addGhostPlanesToOwners(const Decomposition& part, VectorField& f) { addToOwners(part, f); }

}  // namespace plasmabox
