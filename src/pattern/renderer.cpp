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

void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface,
                 DrawBudget budget) {
  surface.Cls();

  const double total = parameters.PointTotal;
  const double radiusStep = parameters.RadiusStep;
  const float radius = toSingle(parameters.PointSize / 5);
  const double farthest = farthestCorner(surface.visibleArea());
  const double absStep = std::abs(radiusStep);

  // Point i lies i * |RadiusStep| / 100 from the centre, so once that distance exceeds the
  // farthest visible corner plus the radius, no later point of the band can show. The slack
  // covers the rounding of the position to single precision.
  constexpr double kSlack = 1e-6;
  const double reach = (farthest + std::max(double{radius}, 0.0)) * (1 + kSlack);

  const double bounds[4] = {1, total / 3, bandBound(2, total), bandBound(3, total)};

  // Filled opaquely, a circle whose radius exceeds its centre's distance plus the farthest
  // corner covers the whole surface and hides everything drawn before it. Those are the points
  // up to `covering`, so drawing starts at the last of them in drawing order.
  int firstBand = 0;
  double firstIndex = bounds[0];
  if (surface.fillsSolid() && radius > farthest) {
    const double covering = absStep > 0 ? (radius - farthest) * 100 / absStep * (1 - kSlack)
                                        : std::numeric_limits<double>::infinity();
    for (int band = 2; band >= 0; --band) {
      const double start = bounds[band];
      const double end = bounds[band + 1];
      if (start <= end && start <= covering) {
        firstBand = band;
        // The band's indices are start, start + 1, ...: keep to them.
        firstIndex = start + std::floor(std::min(covering, end) - start);
        break;
      }
    }
  }

  for (int band = 0; band < 3; ++band) {
    const double start = bounds[band];
    const double end = bounds[band + 1];
    if (!(start <= end)) continue;
    // Every circle of a band has the band's colour, so setting it once per band that would draw
    // leaves FillColor as if it were set before each circle, even when no circle is drawn.
    surface.setFillColor(kBandColors[band]);
    if (band < firstBand) continue;
    for (double i = band == firstBand ? firstIndex : start;
         i <= end && budget.circles > 0 && budget.pixels > 0; --budget.circles) {
      if (i * absStep / 100 > reach) break;
      const PointPosition p = pointAt(i, parameters.DivergenceAngle, radiusStep);
      budget.pixels -= surface.Circle(toSingle(p.x), toSingle(p.y), radius);
      // With no radius step every further point of the band lies on this same spot.
      if (radiusStep == 0) break;
      const double next = i + 1;
      if (next == i) break;  // past 2^53 the counter can no longer advance
      i = next;
    }
  }
}

}  // namespace pattern
