#include "particles/kineticEnergy.h"

namespace plasmabox {

double kineticEnergy(const Species& species) {
  double sum = 0.0;
  species.particles.forEach([&sum](const Particle& p) { sum += p.weight * dot(p.vel, p.vel); });
  return 0.5 * species.mass * sum;
}

}  // namespace plasmabox
