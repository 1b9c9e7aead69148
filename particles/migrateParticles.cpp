#include "particles/migrateParticles.h"

#include <mpi.h>
#include <omp.h>

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "particles/meshCells.h"
#include "particles/reserveParticles.h"

namespace plasmabox {

namespace {

static_assert(std::is_trivially_copyable_v<Particle>, "particles travel as bytes");

// The list indices of the live particles outside [lo, hi) along x, in
// ascending order. Each thread scans one block of the list; the blocks'
// findings are joined in block order, so the order is the list's for any team.
// Few particles leave in a step: the lists grow a few times at most.
std::vector<std::size_t> departing(const std::vector<Particle>& list, double lo, double hi, int threads) {
  const Particle* const p = list.data();
  const std::size_t n = list.size();
  const int team = threads > 0 ? threads : 1;
  std::vector<std::vector<std::size_t>> found(static_cast<std::size_t>(team));
#pragma omp parallel num_threads(team)
  {
    const auto t = static_cast<std::size_t>(omp_get_thread_num());
    const auto given = static_cast<std::size_t>(omp_get_num_threads());
    std::vector<std::size_t>& mine = found[t];
    for (std::size_t q = n * t / given, end = n * (t + 1) / given; q < end; ++q)
      if (p[q].weight > 0.0 && !(p[q].pos.x >= lo && p[q].pos.x < hi)) mine.push_back(q);
  }
  for (std::size_t t = 1; t < found.size(); ++t) found[0].insert(found[0].end(), found[t].begin(), found[t].end());
  return std::move(found[0]);
}

void checkCount(int64_t count, const char* what, const Species& species) {
  if (count > INT_MAX)
    throw std::length_error("migrateParticles: species \"" + species.name + "\" would " + what + " " +
                            std::to_string(count) + " particles in one exchange, more than 2^31 - 1");
}

}  // namespace

MigrationTally migrateParticles(Species& species, int threads) {
  const World& world = *species.world;
  const Decomposition& part = world.part;
  if (!part.distributed()) return {};
  const std::vector<double> starts = slabStarts(world.grid, part);
  std::vector<Particle>& list = species.particles;
  const auto me = static_cast<std::size_t>(part.rank);
  const std::vector<std::size_t> leaving = departing(list, starts[me], starts[me + 1], threads);

  // The departing particles grouped by destination, in list order within each.
  const auto size = static_cast<std::size_t>(part.size);
  std::vector<int64_t> send_count(size, 0), receive_count(size, 0);
  std::vector<int> destination(leaving.size());
  for (std::size_t q = 0; q < leaving.size(); ++q) {
    destination[q] = ownerOfPosition(starts, list[leaving[q]].pos.x);
    ++send_count[static_cast<std::size_t>(destination[q])];
  }
  std::vector<int> send_at(size, 0), receive_at(size, 0), send_n(size, 0), receive_n(size, 0);
  checkCount(static_cast<int64_t>(leaving.size()), "send", species);
  for (std::size_t r = 1; r < size; ++r) send_at[r] = send_at[r - 1] + static_cast<int>(send_count[r - 1]);
  std::vector<Particle> outgoing(leaving.size());
  {
    std::vector<int> next = send_at;
    for (std::size_t q = 0; q < leaving.size(); ++q)
      outgoing[static_cast<std::size_t>(next[static_cast<std::size_t>(destination[q])]++)] = list[leaving[q]];
  }
  // Each hole, from the last one down, takes the list's last particle: every
  // particle above the hole then stays, so the last one does too.
  std::size_t n = list.size();
  for (std::size_t q = leaving.size(); q-- > 0;) list[leaving[q]] = list[--n];
  list.resize(n);

  MPI_Alltoall(send_count.data(), 1, MPI_INT64_T, receive_count.data(), 1, MPI_INT64_T, MPI_COMM_WORLD);
  int64_t received = 0;
  for (std::size_t r = 0; r < size; ++r) received += receive_count[r];
  checkCount(received, "receive", species);
  for (std::size_t r = 0; r < size; ++r) {
    send_n[r] = static_cast<int>(send_count[r]);
    receive_n[r] = static_cast<int>(receive_count[r]);
    if (r > 0) receive_at[r] = receive_at[r - 1] + receive_n[r - 1];
  }
  const std::size_t kept = list.size();
  reserveParticles(list, kept + static_cast<std::size_t>(received));
  list.resize(kept + static_cast<std::size_t>(received));

  MPI_Datatype record;
  MPI_Type_contiguous(static_cast<int>(sizeof(Particle)), MPI_BYTE, &record);
  MPI_Type_commit(&record);
  MPI_Alltoallv(outgoing.data(), send_n.data(), send_at.data(), record, list.data() + kept, receive_n.data(),
                receive_at.data(), record, MPI_COMM_WORLD);
  MPI_Type_free(&record);

  MigrationTally tally;
  tally.sent = static_cast<int64_t>(leaving.size());
  tally.received = received;
  tally.bytes_sent = tally.sent * static_cast<int64_t>(sizeof(Particle));
  return tally;
}

}  // namespace plasmabox
