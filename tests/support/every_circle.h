// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern drawn the plain way, as the yardstick of the renderer: every point of every band in
// order, its position from the formula, each circle drawn with the surface's own circle, and the
// runtime's errors where its arithmetic raises them. Nothing is skipped, so this is slow for
// large counts; callers keep to small ones (see plainLoopLength).
#pragma once

#include "pattern/renderer.h"
#include "surface/surface.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace reference {

// Single precision; beyond its range an infinity (the program's choice for values the runtime
// would refuse).
inline float single(double value) {
  if (std::abs(value) > std::numeric_limits<float>::max()) {
    return std::copysign(std::numeric_limits<float>::infinity(), value);
  }
  return static_cast<float>(value);
}

// The centre of point i in user units, from the formula: the angle turns i * alpha degrees, with
// pi as 3.141592, plus 0.1 radian; the distance is i * step / 100.
inline QPointF positionOf(double i, double alpha, double step) {
  const double theta = ((i * alpha) / 180) * 3.141592 + 0.1;
  return {((i * std::cos(theta)) * step) / 100, ((i * std::sin(theta)) * step) / 100};
}

inline double checked(double value) {
  if (!std::isfinite(value)) throw platform::RuntimeError(platform::RuntimeError::Overflow);
  return value;
}

// How many times the plain loop runs its body for `total` points, or infinity when it would not
// end (or takes too long to count).
inline double plainLoopLength(double total) {
  if (!std::isfinite(total) || std::abs(total) > 1e15)
    return std::numeric_limits<double>::infinity();
  const double bounds[4] = {1, total / 3, (2 * total) / 3, (3 * total) / 3};
  double length = 0;
  for (int band = 0; band < 3; ++band) {
    if (bounds[band] <= bounds[band + 1]) length += std::floor(bounds[band + 1] - bounds[band]) + 1;
  }
  return length;
}

inline void drawEveryCircle(const pattern::ParameterSet& p, platform::DrawingSurface& surface) {
  surface.Cls();
  const QRectF area = surface.visibleArea();
  const double farthest = std::hypot(std::max(std::abs(area.left()), std::abs(area.right())),
                                     std::max(std::abs(area.top()), std::abs(area.bottom())));
  const float radius = single(p.PointSize / 5);
  const double total = p.PointTotal;
  // 1, PointTotal / 3, (2 * PointTotal) / 3, (3 * PointTotal) / 3
  const auto bound = [&](int k) {
    return k == 0 ? 1 : k == 1 ? total / 3 : checked(k * total) / 3;
  };
  for (int band = 0; band < 3; ++band) {
    // Each band's bounds are computed when the band begins.
    const double start = bound(band);
    const double end = bound(band + 1);
    for (double i = start; i <= end; i += 1) {
      const double angle = i * p.DivergenceAngle;
      if (!std::isfinite(angle)) {
        // The runtime would stop here; the program does only for a circle that can be seen.
        const double distance = std::abs(i) * std::abs(p.RadiusStep) / 100;
        if (radius > 0 && std::isfinite(distance) && distance <= farthest + radius) {
          throw platform::RuntimeError(platform::RuntimeError::Overflow);
        }
        continue;
      }
      const QPointF at = positionOf(i, p.DivergenceAngle, p.RadiusStep);
      surface.setFillColor(pattern::kBandColors[band]);
      surface.Circle(single(at.x()), single(at.y()), radius);
    }
  }
}

}  // namespace reference
