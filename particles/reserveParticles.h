#pragma once

#include <cstddef>
#include <vector>

#include "particles/Particle.h"

namespace plasmabox {

// Makes room in list for at least count particles, keeping its contents.
// When it must grow, it takes a quarter more for the particles later steps
// inject (or exactly count when that much cannot be allocated), and asks the
// kernel to back the new storage with large pages: on a virtual machine,
// first touching tens of megabytes of fresh 4 KB pages costs about 10 us a
// page, far more than filling them. The hint changes nothing else.
void reserveParticles(std::vector<Particle>& list, std::size_t count);

}  // namespace plasmabox
