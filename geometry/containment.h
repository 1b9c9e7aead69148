#pragma once

#include <span>
#include <string>

#include "geometry/AmfObject.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// Index into objects of the object that contains point p (metres), or -1
// when p is in no object. An object contains p when p lies in its closed
// bounding box and at least three of the five fixed rays from p cross its
// triangles an odd number of times; among several such objects the one whose
// first vertex is nearest to p wins, the earlier one on equal distances.
// Uses each object's ray index when it matches the object, which gives exactly
// the result of findContainingObjectIndexFullScan. Thread-safe and
// allocation-free: the particle push calls it once per particle per step from
// every thread.
int findContainingObjectIndex(std::span<const AmfObject> objects, const Vec3& p);

// The same answer as findContainingObjectIndex, computed by testing every
// triangle of every object whose box holds p against all five rays. The
// reference the ray index is checked against; slow on large meshes.
int findContainingObjectIndexFullScan(std::span<const AmfObject> objects, const Vec3& p);

// Name of the object that contains p, or an empty name when p is in no object.
std::string findContainingObject(std::span<const AmfObject> objects, const Vec3& p);

// Number of triangles of object that the ray from p along RAY_DIRECTIONS[k]
// hits (every triangle tested, in list order).
int countRayHits(const AmfObject& object, const Vec3& p, int k);

// The same count as countRayHits, testing only the triangles the object's ray
// index cannot rule out. Assumes bvhMatches(object), a finite p inside the
// object's closed box; the count is then exactly that of countRayHits.
int countRayHitsIndexed(const AmfObject& object, const Vec3& p, int k);

}  // namespace plasmabox
