#include "output/gatherPlanes.h"

#include <climits>
#include <stdexcept>

namespace plasmabox {

namespace {

constexpr int REQUEST = 1;  // message tags on the gather's communicator
constexpr int ANSWER = 2;

// A request: offered array, first item, item count, bytes expected. An array
// of -1 releases the process.
struct Request {
  int64_t array, first, count, bytes;
};

int messageSize(std::size_t bytes) {
  if (bytes > static_cast<std::size_t>(INT_MAX))
    throw std::runtime_error("a piece of an output file is too large to send");
  return static_cast<int>(bytes);
}

void release(const Decomposition& part, MPI_Comm comm) {
  const Request stop{-1, 0, 0, 0};
  for (int r = 1; r < part.size; ++r) MPI_Send(&stop, sizeof stop, MPI_BYTE, r, REQUEST, comm);
}

// Every process but rank 0: answers requests until released.
void answer(std::span<const OfferedData> offered, MPI_Comm comm) {
  std::vector<std::byte> piece;
  for (;;) {
    Request q;
    MPI_Recv(&q, sizeof q, MPI_BYTE, 0, REQUEST, comm, MPI_STATUS_IGNORE);
    if (q.array < 0) return;
    piece.resize(static_cast<std::size_t>(q.bytes));
    offered[static_cast<std::size_t>(q.array)](static_cast<uint64_t>(q.first), static_cast<uint64_t>(q.count),
                                               piece.data());
    MPI_Send(piece.data(), messageSize(piece.size()), MPI_BYTE, 0, ANSWER, comm);
  }
}

}  // namespace

void Gatherer::fetch(int rank, std::size_t n, uint64_t first, uint64_t count, std::byte* out, std::size_t bytes) const {
  if (rank == part_.rank) {
    offered_[n](first, count, out);
    return;
  }
  const Request q{static_cast<int64_t>(n), static_cast<int64_t>(first), static_cast<int64_t>(count),
                  static_cast<int64_t>(bytes)};
  MPI_Send(&q, sizeof q, MPI_BYTE, rank, REQUEST, comm_);
  MPI_Recv(out, messageSize(bytes), MPI_BYTE, rank, ANSWER, comm_, MPI_STATUS_IGNORE);
}

void Gatherer::zPlanes(std::size_t n, int32_t k0, int32_t count, int32_t nj, std::size_t node_bytes,
                       std::byte* out) const {
  // One x-plane's share of the run of z-planes.
  const std::size_t x_plane = static_cast<std::size_t>(nj) * static_cast<std::size_t>(count) * node_bytes;
  const auto at = [&](int r) {
    return out + static_cast<std::size_t>(part_.first_plane[static_cast<std::size_t>(r)]) * x_plane;
  };
  const auto bytes = [&](int r) {
    return static_cast<std::size_t>(part_.first_plane[static_cast<std::size_t>(r) + 1] -
                                    part_.first_plane[static_cast<std::size_t>(r)]) *
           x_plane;
  };
  // Ask everyone first, so that the others copy their pieces while rank 0 copies its own.
  std::vector<MPI_Request> pending;
  for (int r = 0; r < part_.size; ++r) {
    if (r == part_.rank) continue;
    const Request q{static_cast<int64_t>(n), k0, count, static_cast<int64_t>(bytes(r))};
    MPI_Send(&q, sizeof q, MPI_BYTE, r, REQUEST, comm_);
    pending.emplace_back();
    MPI_Irecv(at(r), messageSize(bytes(r)), MPI_BYTE, r, ANSWER, comm_, &pending.back());
  }
  offered_[n](static_cast<uint64_t>(k0), static_cast<uint64_t>(count), at(part_.rank));
  if (!pending.empty()) MPI_Waitall(static_cast<int>(pending.size()), pending.data(), MPI_STATUSES_IGNORE);
}

void gatherToRankZero(const Decomposition& part, std::span<const OfferedData> offered,
                      const std::function<void(const Gatherer&)>& write) {
  if (!part.distributed()) {
    write(Gatherer(part, offered, MPI_COMM_NULL));
    return;
  }
  MPI_Comm comm;
  MPI_Comm_dup(MPI_COMM_WORLD, &comm);
  if (part.rank != 0) {
    answer(offered, comm);
  } else {
    try {
      write(Gatherer(part, offered, comm));
    } catch (...) {
      release(part, comm);
      MPI_Comm_free(&comm);
      throw;
    }
    release(part, comm);
  }
  MPI_Comm_free(&comm);
}

std::vector<uint64_t> countOnEveryProcess(const Decomposition& part, uint64_t count) {
  std::vector<uint64_t> all(static_cast<std::size_t>(part.size), count);
  if (part.distributed()) MPI_Allgather(&count, 1, MPI_UINT64_T, all.data(), 1, MPI_UINT64_T, MPI_COMM_WORLD);
  return all;
}

}  // namespace plasmabox
