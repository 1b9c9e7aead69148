#pragma once

#include "environment/Ambient.h"
#include "mesh/Grid.h"

namespace plasmabox {

// The six walls of the box, in the order in which they inject every step.
inline constexpr int WALL_COUNT = 6;
inline constexpr const char* WALL_NAMES[WALL_COUNT] = {"x-", "x+", "y-", "y+", "z-", "z+"};

// Where a wall is: the axis it is normal to (0 x, 1 y, 2 z), the direction
// that points into the box (+1 on the lower wall of an axis, -1 on the upper)
// and its coordinate along that axis (m).
struct WallPlace {
  int axis = 0;
  double inward = 1.0;
  double position = 0.0;
};

// Wall w (0 .. 5 in WALL_NAMES order) of the box of grid (the whole box's
// extents x0 .. xm, on any process).
WallPlace wallPlace(const Grid& grid, int w);

// m^2, the area of wall w: the box's extents across its axis.
double wallArea(const Grid& grid, int w);

// The macro-particles of weight `weight` that the ambient population a of a
// species of mass (kg) carries into the box through wall w in a step of dt
// seconds: its one-sided flux (oneSidedFlux of the density, the drift's
// component along the inward normal and the thermal speed) times the wall's
// area and dt, over the weight. Not zero at zero drift; 0 for a cold
// population drifting away from the wall. Draws nothing.
double wallMacroParticles(const Ambient& a, double mass, double weight, const Grid& grid, int w, double dt);

}  // namespace plasmabox
