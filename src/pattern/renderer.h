// The pattern renderer: clears the surface and draws the whole spiral in three colour bands.
#pragma once

#include "parameters.h"
#include "platform/surface.h"

namespace pattern {

inline constexpr platform::OleColor kBandColors[3] = {
    platform::RGB(255, 0, 0), platform::RGB(0, 0, 255), platform::RGB(255, 255, 0)};

// Point i (a double) of the pattern in user units, exactly as the renderer computes it.
struct PointPosition {
  double x;
  double y;
};
PointPosition pointAt(double i, double divergenceAngle, double radiusStep);

// The most circles one drawing draws. Only typed extremes (a tiny radius step with a huge point
// count) come near it; by then the centre of the surface is covered many times over, and drawing
// on would freeze the window for hours.
inline constexpr long long kCircleBudget = 1LL << 22;

// Clears `surface` and draws the pattern for `parameters`. Never raises an error: a point whose
// position or radius cannot be represented is one that cannot be seen, and is skipped; a visible
// circle too large to represent covers the surface.
void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface);

}  // namespace pattern
