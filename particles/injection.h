#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"
#include "particles/Source.h"

namespace plasmabox {

// One step of injection through the rectangle spanned by x1 and x2 (m), normal
// to the axis that dim selects: 1 z, 2 x, 3 y; any other dim does nothing and
// draws nothing. The stream carries
//   N = |inject_density * drift_speed * area * dt| / mpw0
// macro-particles per step; trunc(N + rnd()) of them are created (the fraction of
// N is the chance of one more), each on the plane through x1 at two in-plane
// coordinates drawn in axis order, with velocity drift_speed along the normal and
// weight mpw0, through addParticle.
//
// With a source temperature above 0 the stream is a drifting Maxwellian: N
// comes from its one-sided flux through the plane (oneSidedFlux of
// |inject_density|, drift_speed along the positive normal; not zero at zero
// drift), and each particle's velocity is drawn after its position: the
// normal component from the flux-weighted distribution (crossingNormalSpeed,
// one draw), then the two in-plane components in axis order (normalDraw, two
// draws each). Throws std::length_error or
// std::runtime_error when the count cannot be stored (see checkedParticleCount).
//
// In a distributed run each process injects only into its own cells (see
// slabStarts): N times the fraction of the rectangle's length along x that
// its cells hold (all of N on the process holding a plane normal to x), with
// the count draw and the draws per particle from its own stream; x is drawn
// uniformly over its part.
void injectFromPlane(Source& source, int32_t dim, const Vec3& x1, const Vec3& x2);

// One step of injection from every source, in list order, each through its
// own rectangle (face, corner_1, corner_2).
void injectFromSources(std::vector<Source>& sources);

}  // namespace plasmabox
