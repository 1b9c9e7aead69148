#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/SceneTriangles.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// One triangle whose outward side faces the sun.
struct SunlitTriangle {
  int32_t object;    // index into the objects
  int32_t triangle;  // index into that object's triangles
  Vec3 normal;       // outward unit normal
  double area;       // m^2
  double cos_theta;  // normal . (unit vector towards the sun), in (0, 1]
  bool fully_lit;    // no triangle can shade any point of it: its points need no shadow ray
};

// What the sun reaches, found once at set-up.
struct Illumination {
  Vec3 sun;                               // unit vector towards the sun
  double offset = 0.0;                    // m, height above a triangle at which shadow rays start
  std::vector<SunlitTriangle> triangles;  // by object, then by triangle, in the objects' order
};

// The triangles of objects whose outward normal (outwardNormals) faces the
// sun, cos(theta) > 0, with their areas. sun points towards the sun, any
// length. scene must hold the same objects (buildSceneTriangles(objects)).
//
// Each lit triangle is also checked for shade once: when no triangle of any
// object meets the beam that the triangle casts towards the sun (its box swept
// along the sun, then each candidate's shadow outline against the triangle's),
// it is fully lit and inShadow answers without a ray. Triangles of zero area
// are left out. Throws std::invalid_argument for a sun direction that is zero
// or not finite (naming "sun"), and, naming the object, for an object whose
// outward side cannot be told (see outwardNormals).
Illumination findSunlitTriangles(std::span<const AmfObject> objects, const SceneTriangles& scene, const Vec3& sun);

// True when point (m, on triangle lit) lies in shadow: the ray towards the sun
// from light.offset above it (SURFACE_OFFSET_RELATIVE of the scene's scale,
// along the outward normal, so that it does not meet the triangle it leaves)
// meets any object's triangle. A fully lit triangle answers false at once;
// otherwise one any-hit ray through the scene's tree. Thread-safe,
// allocation-free.
bool inShadow(const SceneTriangles& scene, const Illumination& light, const SunlitTriangle& lit, const Vec3& point);

}  // namespace plasmabox
