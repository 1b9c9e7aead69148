#include "particles/migrateParticles.h"

#include <mpi.h>

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "particles/meshCells.h"

namespace plasmabox {

namespace {

static_assert(std::is_trivially_copyable_v<Particle>, "particles travel as bytes");

// The live particles of the unplaced bin outside [lo, hi) along x, taken out
// of it (the rest keep their order) and added to out in list order.
void takeLeavingUnplaced(ParticleList& list, double lo, double hi, std::vector<Particle>& out) {
  const uint32_t unplaced = list.unplacedBin();
  const uint32_t n = list.counts[unplaced];
  uint32_t kept = 0;
  for (uint32_t q = 0; q < n; ++q) {
    const Particle p = list.at(unplaced, q);
    if (p.weight > 0.0 && !(p.pos.x >= lo && p.pos.x < hi))
      out.push_back(p);
    else
      list.at(unplaced, kept++) = p;
  }
  list.truncate(unplaced, kept);
}

void checkCount(int64_t count, const char* what, const Species& species) {
  if (count > INT_MAX)
    throw std::length_error("migrateParticles: species \"" + species.name + "\" would " + what + " " +
                            std::to_string(count) + " particles in one exchange, more than 2^31 - 1");
}

}  // namespace

MigrationTally migrateParticles(Species& species, int /*threads*/) {
  const World& world = *species.world;
  const Decomposition& part = world.part;
  if (!part.distributed()) return {};
  const std::vector<double> starts = slabStarts(world.grid, part);
  ParticleList& list = species.particles;
  const auto me = static_cast<std::size_t>(part.rank);
  std::vector<Particle> leaving;
  leaving.swap(species.moves.outgoing);
  takeLeavingUnplaced(list, starts[me], starts[me + 1], leaving);

  // The departing particles grouped by destination, in list order within each.
  const auto size = static_cast<std::size_t>(part.size);
  std::vector<int64_t> send_count(size, 0), receive_count(size, 0);
  std::vector<int> destination(leaving.size());
  for (std::size_t q = 0; q < leaving.size(); ++q) {
    destination[q] = ownerOfPosition(starts, leaving[q].pos.x);
    ++send_count[static_cast<std::size_t>(destination[q])];
  }
  std::vector<int> send_at(size, 0), receive_at(size, 0), send_n(size, 0), receive_n(size, 0);
  checkCount(static_cast<int64_t>(leaving.size()), "send", species);
  for (std::size_t r = 1; r < size; ++r) send_at[r] = send_at[r - 1] + static_cast<int>(send_count[r - 1]);
  std::vector<Particle> outgoing(leaving.size());
  {
    std::vector<int> next = send_at;
    for (std::size_t q = 0; q < leaving.size(); ++q)
      outgoing[static_cast<std::size_t>(next[static_cast<std::size_t>(destination[q])]++)] = leaving[q];
  }

  MPI_Alltoall(send_count.data(), 1, MPI_INT64_T, receive_count.data(), 1, MPI_INT64_T, MPI_COMM_WORLD);
  int64_t received = 0;
  for (std::size_t r = 0; r < size; ++r) received += receive_count[r];
  checkCount(received, "receive", species);
  for (std::size_t r = 0; r < size; ++r) {
    send_n[r] = static_cast<int>(send_count[r]);
    receive_n[r] = static_cast<int>(receive_count[r]);
    if (r > 0) receive_at[r] = receive_at[r - 1] + receive_n[r - 1];
  }
  std::vector<Particle> incoming(static_cast<std::size_t>(received));
  MPI_Datatype record;
  MPI_Type_contiguous(static_cast<int>(sizeof(Particle)), MPI_BYTE, &record);
  MPI_Type_commit(&record);
  MPI_Alltoallv(outgoing.data(), send_n.data(), send_at.data(), record, incoming.data(), receive_n.data(),
                receive_at.data(), record, MPI_COMM_WORLD);
  MPI_Type_free(&record);
  for (const Particle& p : incoming) list.append(p);
  species.moves.outgoing.clear();  // keeps its storage for the next step

  MigrationTally tally;
  tally.sent = static_cast<int64_t>(leaving.size());
  tally.received = received;
  tally.bytes_sent = tally.sent * static_cast<int64_t>(sizeof(Particle));
  return tally;
}

}  // namespace plasmabox
