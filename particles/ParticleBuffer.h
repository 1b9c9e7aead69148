#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "particles/Particle.h"

namespace plasmabox {

// Room for particles that nothing initialises: the sort writes every place
// before it reads it. Kept from sort to sort; grows, never shrinks. Its
// storage is asked to be backed by large pages, and it is first touched by
// the threads that fill it, not zeroed by one thread beforehand.
class ParticleBuffer {
 public:
  // At least count places (their contents undefined until written).
  // Throws std::bad_alloc when they cannot be had.
  Particle* room(std::size_t count);

 private:
  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<void, Free> storage_;
  std::size_t capacity_ = 0;
};

}  // namespace plasmabox
