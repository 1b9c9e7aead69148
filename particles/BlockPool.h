#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "particles/Particle.h"

namespace plasmabox {

// Particles per block of a particle list: a tile's bin holds its particles in
// whole blocks, only its last one partly filled, so a list wastes about half
// a block per tile (bench/README.md, "Particles, third round").
inline constexpr uint32_t BLOCK_PARTICLES = 32;

// The storage of a particle list: blocks of BLOCK_PARTICLES particles in
// chunks of 2 MB, each asked to be one large page. Chunks never move (a block
// stays where it is while the list grows) and are kept until the pool goes;
// a block given back is the next one taken. The contents of a block taken are
// undefined until written.
struct BlockPool {
  static constexpr std::size_t CHUNK_BYTES = std::size_t{1} << 21;
  static constexpr uint32_t BLOCKS_PER_CHUNK =
      static_cast<uint32_t>(CHUNK_BYTES / (BLOCK_PARTICLES * sizeof(Particle)));

  struct Free {
    void operator()(Particle* p) const { std::free(p); }
  };
  std::vector<std::unique_ptr<Particle, Free>> chunks;
  std::vector<uint32_t> spare;  // blocks given back, taken again last first
  uint32_t made = 0;            // blocks handed out at least once

  // The first particle of block `id` (a number take returned).
  Particle* block(uint32_t id) const {
    return chunks[id / BLOCKS_PER_CHUNK].get() + static_cast<std::size_t>(id % BLOCKS_PER_CHUNK) * BLOCK_PARTICLES;
  }

  // A block for the caller's use. Throws std::bad_alloc when no chunk can be
  // had, and std::length_error past 2^32 - 1 blocks.
  uint32_t take() {
    if (!spare.empty()) {
      const uint32_t id = spare.back();
      spare.pop_back();
      return id;
    }
    return fresh();
  }

  void give(uint32_t id) { spare.push_back(id); }

  // Blocks in the chunks, in use or not.
  std::size_t capacity() const { return chunks.size() * BLOCKS_PER_CHUNK; }

 private:
  uint32_t fresh();
};

}  // namespace plasmabox
