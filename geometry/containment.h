#pragma once

#include <string>

#include "mesh/Vec3.h"
#include "mesh/World.h"

// Index into world.objects of the object that contains point p (metres), or -1
// when p is in no object. Thread-safe and allocation-free: the particle push
// calls it once per particle per step from every thread.
int findContainingObjectIndex(const World& world, const Vec3& p);

// Name of the object that contains p, or an empty name.
std::string findContainingObject(const World& world, const Vec3& p);
