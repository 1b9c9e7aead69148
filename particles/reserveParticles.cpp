#include "particles/reserveParticles.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include "mesh/largePages.h"
#include "particles/ParticleBuffer.h"

namespace plasmabox {

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
