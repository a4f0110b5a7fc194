// SPDX-License-Identifier: GPL-3.0-or-later
#include "renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

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

namespace {

// The indices one band draws: from, from + 1, ..., `count` of them.
struct BandSpan {
  double from = 0;
  long long count = 0;
};

// Drawing one spot over and over converges: each channel of each pixel follows a nondecreasing
// map of 256 values, so after 256 draws of the same circle another one changes nothing.
constexpr long long kRepeatsThatCanShow = 256;

// Below this many circles the reverse pass costs more than the circles it saves.
constexpr long long kOcclusionThreshold = 20000;
// Circles tested for being hidden before the test is judged worth going on with.
constexpr long long kOcclusionProbe = 65536;

// The indices i = from, from + 1, ... up to `end` whose distance i * absStep / 100 stays within
// `reach`, as a loop that stops at the first point past it would visit them.
BandSpan spanOf(double from, double end, double absStep, double reach) {
  if (!(from <= end)) return {};
  if (from * absStep / 100 > reach) return {};
  if (from + 1 == from) return {from, 1};  // past 2^53 the counter can no longer advance
  double last = end;
  if (absStep > 0) last = std::min(end, from + std::floor(reach * 100 / absStep - from));
  last = from + std::floor(last - from);
  // The estimate can be a step or two off by rounding: settle it with the loop's own test.
  for (int k = 0; k < 4 && last > from && last * absStep / 100 > reach; ++k) last -= 1;
  for (int k = 0; k < 4 && last + 1 <= end && (last + 1) * absStep / 100 <= reach; ++k) {
    last += 1;
  }
  const double count = last - from + 1;
  return {from,
          count >= 9e18 ? std::numeric_limits<long long>::max() : static_cast<long long>(count)};
}

}  // namespace

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

  BandSpan spans[3];
  long long work = 0;
  for (int band = firstBand; band < 3; ++band) {
    const double start = band == firstBand ? firstIndex : bounds[band];
    spans[band] = spanOf(start, bounds[band + 1], absStep, reach);
    // With no radius step every point of the band lies on one spot.
    if (radiusStep == 0) spans[band].count = std::min(spans[band].count, kRepeatsThatCanShow);
    work =
        spans[band].count > budget.circles - work ? budget.circles + 1 : work + spans[band].count;
  }
  if (work > budget.circles) throw platform::RuntimeError(platform::RuntimeError::DrawingTooLarge);

  const auto centreOf = [&](const BandSpan& span, long long k) {
    const PointPosition p =
        pointAt(span.from + static_cast<double>(k), parameters.DivergenceAngle, radiusStep);
    return std::pair{toSingle(p.x), toSingle(p.y)};
  };

  // Last circle first: a circle whose every pixel later circles cover opaquely is left out.
  // One bit a circle, set while it is to be drawn; the positions are computed again when
  // drawing. In a spiral most circles keep some antialiased rim pixel uncovered, so the test is
  // kept up only while it pays: after each probe of circles, at least an eighth must have been
  // hidden, or every circle not yet tested is drawn.
  std::vector<std::uint64_t> shown[3];
  const bool occlude =
      surface.canOcclude() && surface.fillsSolid() && radiusStep != 0 && work > kOcclusionThreshold;
  if (occlude) {
    surface.beginOcclusion();
    long long tested = 0;
    long long hidden = 0;
    bool testing = true;
    for (int band = 2; band >= firstBand; --band) {
      const BandSpan& span = spans[band];
      shown[band].assign(static_cast<std::size_t>((span.count + 63) / 64), ~std::uint64_t{0});
      surface.setFillColor(kBandColors[band]);
      for (long long k = span.count - 1; k >= 0 && testing; --k) {
        const auto [x, y] = centreOf(span, k);
        if (surface.occlude(x, y, radius)) {
          shown[band][k / 64] &= ~(std::uint64_t{1} << (k % 64));
          ++hidden;
        }
        if (++tested % kOcclusionProbe == 0 && hidden * 8 < tested) testing = false;
      }
    }
  }

  long long pixels = 0;
  for (int band = 0; band < 3; ++band) {
    if (!(bounds[band] <= bounds[band + 1])) continue;
    // Every circle of a band has the band's colour, so setting it once per band that would draw
    // leaves FillColor as if it were set before each circle, even when no circle is drawn.
    surface.setFillColor(kBandColors[band]);
    const BandSpan& span = spans[band];
    for (long long k = 0; k < span.count; ++k) {
      if (occlude && !(shown[band][k / 64] >> (k % 64) & 1)) continue;
      const auto [x, y] = centreOf(span, k);
      pixels += surface.Circle(x, y, radius);
      if (pixels > budget.pixels) {
        throw platform::RuntimeError(platform::RuntimeError::DrawingTooLarge);
      }
    }
  }
}

}  // namespace pattern
