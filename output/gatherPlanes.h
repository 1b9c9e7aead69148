#pragma once

#include <mpi.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "mesh/Decomposition.h"
#include "mesh/Grid.h"

namespace plasmabox {

// The files of a distributed run are written by rank 0 alone, from data every
// process holds a part of. Rank 0 asks for one piece at a time (a run of
// z-planes of a mesh array, a block of sampled particles) and the owners
// answer it, so no process ever holds more than the piece being written:
// never the whole mesh.

// What a process offers rank 0: copy(first, count, out) writes items [first,
// first + count) of one array into out. What an item is (a z-plane, a
// particle) is up to the offerer; rank 0 knows how many bytes each answer has.
using OfferedData = std::function<void(uint64_t first, uint64_t count, std::byte* out)>;

// Rank 0's side of a gather.
class Gatherer {
 public:
  Gatherer(const Decomposition& part, std::span<const OfferedData> offered, MPI_Comm comm)
      : part_(part), offered_(offered), comm_(comm) {}

  // Items [first, first + count) of offered array n of process rank, bytes
  // long, into out. Rank 0's own items are copied without a message.
  void fetch(int rank, std::size_t n, uint64_t first, uint64_t count, std::byte* out, std::size_t bytes) const;

  // The whole mesh's z-planes k0 .. k0 + count - 1 of mesh array n (offered
  // as offeredZPlanes does) into out, in the storage order of a field of
  // gni x nj x count nodes: node (i, j, k0 + c) at (i * nj + j) * count + c,
  // global i, node_bytes each. Every process's owned x-planes are one
  // contiguous run there and land in place; the requests go out together.
  void zPlanes(std::size_t n, int32_t k0, int32_t count, int32_t nj, std::size_t node_bytes, std::byte* out) const;

 private:
  const Decomposition& part_;
  std::span<const OfferedData> offered_;
  MPI_Comm comm_;  // the gather's own, so that no other message is taken for a request
};

// Collective: every process of part calls it, with its own offered arrays
// (the same list in the same order on every process). Rank 0 runs
// write(gatherer), while the others answer its requests until write returns.
// On one process write runs at once, and fetches are plain copies. When write
// throws, the others are still released and the exception goes on.
void gatherToRankZero(const Decomposition& part, std::span<const OfferedData> offered,
                      const std::function<void(const Gatherer&)>& write);

// The count every process holds, rank after rank (collective). On one process {count}.
std::vector<uint64_t> countOnEveryProcess(const Decomposition& part, uint64_t count);

// How many z-planes of gni x nj nodes of node_bytes fit budget bytes (at
// least one): a gather moves a few megabytes at once, so that the messages'
// latency does not count and the memory stays small.
inline int32_t planesPerGather(int32_t gni, int32_t nj, std::size_t node_bytes, std::size_t budget) {
  const std::size_t plane =
      std::max<std::size_t>(1, static_cast<std::size_t>(gni) * static_cast<std::size_t>(nj) * node_bytes);
  return static_cast<int32_t>(std::clamp<std::size_t>(budget / plane, 1, INT32_MAX));
}

// A mesh array offered by z-planes: items [k0, k0 + count) are this
// process's owned nodes of those z-planes, value(q) at local storage index
// q, in storage order (owned i, then j, then k: runs along k read
// contiguous storage), as Gatherer::zPlanes expects.
template <class T, class Value>
OfferedData offeredZPlanes(const Grid& g, Value value) {
  const std::size_t ob = static_cast<std::size_t>(g.ownedBegin()), oe = static_cast<std::size_t>(g.ownedEnd());
  const std::size_t nj = static_cast<std::size_t>(g.nj), nk = static_cast<std::size_t>(g.nk);
  return [=](uint64_t first, uint64_t count, std::byte* out) {
    for (std::size_t i = ob; i < oe; ++i)
      for (std::size_t j = 0; j < nj; ++j) {
        const std::size_t line = (i * nj + j) * nk;
        for (uint64_t k = first; k < first + count; ++k, out += sizeof(T)) {
          const T v = value(line + static_cast<std::size_t>(k));
          std::memcpy(out, &v, sizeof(T));
        }
      }
  };
}

}  // namespace plasmabox
