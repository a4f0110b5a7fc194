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

// The most circles one drawing computes, and the most pixels it draws: about a second's work.
// Only typed extremes come near them (a tiny radius step with a huge point count, or thousands
// of circles far larger than the surface); by then the surface is covered many times over, and
// drawing on would freeze the window for hours.
inline constexpr long long kCircleBudget = 1LL << 22;
inline constexpr long long kPixelBudget = 1LL << 28;

struct DrawBudget {
  long long circles = kCircleBudget;
  long long pixels = kPixelBudget;
};

// Clears `surface` and draws the pattern for `parameters`. Never raises an error: a point whose
// position or radius cannot be represented is one that cannot be seen, and is skipped; a visible
// circle too large to represent covers the surface.
void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface,
                 DrawBudget budget = {});

}  // namespace pattern
