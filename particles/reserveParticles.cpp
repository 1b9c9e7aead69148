#include "particles/reserveParticles.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "particles/ParticleBuffer.h"

namespace plasmabox {

namespace {

// Asks for large pages over the whole 2 MB pages inside [begin, begin + bytes).
void adviseLargePages([[maybe_unused]] const void* begin, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t LARGE_PAGE = uintptr_t{1} << 21;
  const auto start = reinterpret_cast<uintptr_t>(begin);
  const uintptr_t first = (start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
  const uintptr_t last = (start + bytes) & ~(LARGE_PAGE - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace

Particle* ParticleBuffer::room(std::size_t count) {
  if (capacity_ < count) {
    storage_.reset();
    capacity_ = 0;
    if (count > SIZE_MAX / sizeof(Particle)) throw std::bad_alloc();
    void* p = std::malloc(count * sizeof(Particle));
    if (p == nullptr) throw std::bad_alloc();
    storage_.reset(p);
    capacity_ = count;
    adviseLargePages(p, count * sizeof(Particle));
  }
  // Particle is an implicit-lifetime type: the storage holds particles once written.
  return static_cast<Particle*>(storage_.get());
}

void reserveParticles(std::vector<Particle>& list, std::size_t count) {
  if (list.capacity() >= count) return;
  std::vector<Particle> grown;
  const std::size_t roomy = count + count / 4;
  try {
    grown.reserve(roomy >= count && roomy <= grown.max_size() ? roomy : count);
  } catch (const std::bad_alloc&) {
    grown.reserve(count);  // the exact room, or the caller's allocation error
  }
  adviseLargePages(grown.data(), grown.capacity() * sizeof(Particle));
  grown.insert(grown.end(), list.begin(), list.end());
  list.swap(grown);
}

}  // namespace plasmabox
