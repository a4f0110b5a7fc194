#include "renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pattern {

namespace {

// The value of pi the pattern has always used: the double nearest 3.141592, not full precision.
constexpr double kPi = 3.141592;
// Angle offset of every point, in radians.
constexpr double kOffset = 0.1;

// Narrows to single precision; a value beyond its range becomes an infinity instead of an error.
float toSingle(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// (k * total) / 3 as the band bounds are written; when k * total alone would leave the double
// range, the same quotient in the other order, so a huge point count still has finite bounds.
double bandBound(int k, double total) {
  const double product = k * total;
  return std::isfinite(product) ? product / 3 : total / 3 * k;
}

// Distance from the origin to the farthest corner of `area`, in user units.
double farthestCorner(const QRectF& area) {
  const double dx = std::max(std::abs(area.left()), std::abs(area.right()));
  const double dy = std::max(std::abs(area.top()), std::abs(area.bottom()));
  return std::hypot(dx, dy);
}

}  // namespace

PointPosition pointAt(double i, double divergenceAngle, double radiusStep) {
  const double theta = ((i * divergenceAngle) / 180) * kPi + kOffset;
  return {((i * std::cos(theta)) * radiusStep) / 100, ((i * std::sin(theta)) * radiusStep) / 100};
}

void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface) {
  surface.Cls();

  const double total = parameters.PointTotal;
  const double radiusStep = parameters.RadiusStep;
  const float radius = toSingle(parameters.PointSize / 5);

  // Point i lies i * |RadiusStep| / 100 from the centre, so once that distance exceeds the
  // farthest visible corner plus the radius, no later point of the band can show. The slack
  // covers the rounding of the position's own computation.
  const double reach =
      (farthestCorner(surface.visibleArea()) + std::max(double{radius}, 0.0)) * (1 + 1e-9);
  const double absStep = std::abs(radiusStep);

  long long budget = kCircleBudget;
  const double bounds[4] = {1, total / 3, bandBound(2, total), bandBound(3, total)};
  for (int band = 0; band < 3; ++band) {
    const double start = bounds[band];
    const double end = bounds[band + 1];
    if (!(start <= end)) continue;
    // Every circle of a band has the band's colour, so setting it once per band that would draw
    // leaves FillColor as if it were set before each circle, even when no circle can show.
    surface.setFillColor(kBandColors[band]);
    for (double i = start; i <= end && budget > 0; --budget) {
      if (i * absStep / 100 > reach) break;
      const PointPosition p = pointAt(i, parameters.DivergenceAngle, radiusStep);
      surface.Circle(toSingle(p.x), toSingle(p.y), radius);
      // With no radius step every further point of the band lies on this same spot.
      if (radiusStep == 0) break;
      const double next = i + 1;
      if (next == i) break;  // past 2^53 the counter can no longer advance
      i = next;
    }
  }
}

}  // namespace pattern
