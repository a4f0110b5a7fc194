// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern renderer: clears the surface and draws the whole spiral in three colour bands.
#pragma once

#include "parameters.h"
#include "surface.h"

namespace pattern {

inline constexpr platform::OleColor kBandColors[3] = {
    platform::RGB(255, 0, 0), platform::RGB(0, 0, 255), platform::RGB(255, 255, 0)};

// Point i (a double) of the pattern in user units, exactly as the renderer computes it.
struct PointPosition {
  double x;
  double y;
};
PointPosition pointAt(double i, double divergenceAngle, double radiusStep);

// The safeguard against drawings that would take minutes or hours: the most circles one drawing
// may compute, counted before drawing starts, and the most pixels it may touch, counted while it
// draws. Both lie far above what an exact drawing of 30 million circles on the surface needs (at
// most two computations and some 50 touched pixels each), so only typed extremes reach them, such
// as a billion points per band packed into the visible square. A drawing that reaches either
// stops with the DrawingTooLarge runtime error; what was drawn by then stays.
inline constexpr long long kCircleBound = 1LL << 28;
inline constexpr long long kPixelBound = 1LL << 33;

struct DrawBudget {
  long long circles = kCircleBound;
  long long pixels = kPixelBound;
};

// Clears `surface` and draws the pattern for `parameters`: the same picture as drawing every
// circle of every band in order. Circles that cannot change a pixel are skipped: those that
// cannot reach the surface, those under a later circle that covers the whole surface, those
// whose every pixel a later circle covers opaquely, and repeats of one spot that no longer
// change it. A point whose position or radius cannot be represented cannot be seen; a visible
// circle too large to represent covers the surface. Raises DrawingTooLarge past `budget`.
void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface,
                 DrawBudget budget = {});

}  // namespace pattern
