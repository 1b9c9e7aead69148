#include "geometry/containment.h"

// Placeholder until the ray-casting query lands: no point is in any object.
int findContainingObjectIndex(const World&, const Vec3&) { return -1; }

std::string findContainingObject(const World& world, const Vec3& p) {
  const int index = findContainingObjectIndex(world, p);
  return index < 0 ? std::string() : world.objects[static_cast<std::size_t>(index)].name;
}
