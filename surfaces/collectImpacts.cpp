#include "surfaces/collectImpacts.h"

#include "geometry/firstHit.h"

namespace plasmabox {

void collectImpacts(const ParticleMoves& moves, double dt, const SceneTriangles& scene, std::vector<Impact>& impacts) {
  for (std::size_t q = 0; q < moves.movers.size(); ++q) {
    const Mover& m = moves.movers[q];
    if (m.fate != Fate::ABSORBED) continue;
    const Particle& p = moves.moving[q];
    Impact impact;
    impact.object = m.object;
    impact.vel = p.vel;
    impact.weight = p.weight;
    const Vec3 old = p.pos - dt * p.vel;
    impact.point = old;
    const std::optional<SurfaceHit> hit = firstHitSegment(scene, old, p.pos);
    if (hit && hit->object == m.object) {
      impact.triangle = hit->triangle;
      impact.point = hit->point;
    }
    impacts.push_back(impact);
  }
}

}  // namespace plasmabox
