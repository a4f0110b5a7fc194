// SPDX-License-Identifier: GPL-3.0-or-later
// Planning a drawing: which circles of which band can change a pixel, and how it ends.
#include "pattern/renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pattern {

namespace {

// Distance from the origin to the farthest corner of `area`, in user units.
double farthestCorner(const QRectF& area) {
  const double dx = std::max(std::abs(area.left()), std::abs(area.right()));
  const double dy = std::max(std::abs(area.top()), std::abs(area.bottom()));
  return std::hypot(dx, dy);
}

}  // namespace

double loopIndex(double from, long long steps) {
  double i = from;
  while (steps > 0 && i + 1 != i) {
    // Towards zero every step is exact, up to the one that passes it.
    const auto towardsZero = i < 0 ? std::min(steps, static_cast<long long>(std::floor(-i))) : 0;
    if (towardsZero > 0) {
      i += static_cast<double>(towardsZero);
      steps -= towardsZero;
      continue;
    }
    if (i < 1) {
      // From (-1, 1) a step may round.
      i += 1;
      steps -= 1;
      continue;
    }
    // Below the next power of two every step is exact, so they are taken at once; the step that
    // crosses it rounds, and is taken as the loop takes it.
    int exponent = 0;
    std::frexp(i, &exponent);  // i = m * 2^exponent, m in [0.5, 1)
    const double next = std::ldexp(1.0, exponent);
    const auto exact = static_cast<long long>(std::ceil(next - i)) - 1;
    if (exact >= steps) return i + static_cast<double>(steps);
    i += static_cast<double>(exact);
    i += 1;
    steps -= exact + 1;
  }
  return i;
}

long long DrawingPlan::circles() const {
  long long total = 0;
  for (int s = 0; s < spanCount; ++s) total += spans[s].count;
  return total;
}

namespace {

// Drawing one spot over and over converges: each channel of each pixel follows a nondecreasing
// map of 256 values, so after 256 draws of the same circle another one changes nothing.
constexpr long long kRepeatsThatCanShow = 256;

// Rounding slack for the tests of reaching and covering the surface: they may let a few circles
// too many through, never one too few.
constexpr double kSlack = 1e-6;

// Past 2^53 a counter that adds 1 no longer advances: a loop that gets there stays there.
constexpr double kLastCountable = 9007199254740992.0;

// The indices i = from, from + 1, ... up to `end` whose distance i * absStep / 100 stays within
// `reach`, as a loop that stops at the first point past it would visit them. The loop of every
// point never gets past 2^53, and neither does the span. Steps are counted as whole numbers and
// settled with the loop's own tests: a count taken from differences of fractional indices, such
// as 4.1 - 2.1, can fall short by one.
DrawingPlan::Span spanOf(double from, double end, double absStep, double reach) {
  if (!(from <= end) || !(absStep >= 0)) return {};
  if (!(from * absStep / 100 <= reach)) return {};
  if (from + 1 == from) return {from, 1};
  // The largest step k, from an estimate, for which `fits(k)` holds; fits(0) does.
  const auto settle = [](double k, auto&& fits) {
    k = std::max(k, 0.0);
    for (int n = 0; n < 4 && k > 0 && !fits(k); ++n) k -= 1;
    for (int n = 0; n < 4 && fits(k + 1); ++n) k += 1;
    return k;
  };
  const auto at = [from](double k) { return loopIndex(from, static_cast<long long>(k)); };
  double steps = settle(std::floor(std::min(end, kLastCountable) - from),
                        [&](double k) { return at(k) <= end && at(k) <= kLastCountable; });
  if (absStep > 0) {
    const double estimate = std::min(std::floor(reach * 100 / absStep - from), kLastCountable);
    steps =
        std::min(steps, settle(estimate, [&](double k) { return at(k) * absStep / 100 <= reach; }));
  }
  return {from, static_cast<long long>(steps) + 1};
}

// The first k in [0, count) whose point's angle i * alpha leaves the double range, or count.
// The product grows with i, so once one point's angle overflows, every later one's does.
long long firstOverflow(double from, long long count, double alpha) {
  if (count <= 0 || std::isfinite(loopIndex(from, count - 1) * alpha)) return count;
  long long low = 0;
  long long high = count - 1;  // overflows
  while (low < high) {
    const long long mid = low + (high - low) / 2;
    if (std::isfinite(loopIndex(from, mid) * alpha)) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

// Bound k of the bands as it is written: 1, total / 3, (2 * total) / 3, (3 * total) / 3. None
// when the product is not finite, which the runtime raises as an overflow.
std::optional<double> bandBound(int k, double total) {
  if (k == 0) return 1.0;
  if (k == 1) return total / 3;
  const double product = k * total;
  if (!std::isfinite(product)) return std::nullopt;
  return product / 3;
}

}  // namespace

DrawingPlan planDrawing(const ParameterSet& parameters, const platform::DrawingSurface& surface) {
  DrawingPlan plan;
  const double total = parameters.PointTotal;
  const double alpha = parameters.DivergenceAngle;
  const double absStep = std::abs(parameters.RadiusStep);
  const float radius = toSingle(parameters.PointSize / 5);
  plan.radius = radius;
  const double farthest = farthestCorner(surface.visibleArea());
  const bool solid = surface.fillsSolid();

  // A point can be seen when its circle, of positive radius, reaches the visible area: its
  // distance i * |RadiusStep| / 100 from the centre is finite and at most the farthest corner's
  // plus the radius. Only such a point raises an error when its position cannot be computed.
  const auto seen = [&](double i) {
    const double distance = std::abs(i) * absStep / 100;
    return radius > 0 && std::isfinite(distance) && distance <= farthest + radius;
  };
  // Circles that can change a pixel: a positive radius, and not an endless outline around
  // nothing.
  const bool drawable = radius > 0 && (solid || !std::isinf(radius));
  const double reach = (farthest + std::max(double{radius}, 0.0)) * (1 + kSlack);

  // Once a point's angle overflows where it cannot be seen, so do the angles of all later points,
  // which lie farther out: they are passed over without an error, but the bands' bounds are
  // still computed.
  bool restUnseen = false;
  for (int band = 0; band < 3; ++band) {
    const std::optional<double> start = bandBound(band, total);
    const std::optional<double> end = bandBound(band + 1, total);
    if (!start || !end) {
      plan.error = platform::RuntimeError::Overflow;
      break;
    }
    if (!(*start <= *end) || restUnseen) continue;
    if (!std::isfinite(*start * alpha)) {
      if (seen(*start)) {
        plan.error = platform::RuntimeError::Overflow;
        break;
      }
      restUnseen = true;
      continue;
    }
    // FillColor is set before every circle, so a band with a circle leaves its colour.
    plan.fillAtEnd = kBandColors[band];
    DrawingPlan::Span span = drawable ? spanOf(*start, *end, absStep, reach) : DrawingPlan::Span{};
    span.band = band;
    const long long overflow = firstOverflow(span.from, span.count, alpha);
    const bool overflows = overflow < span.count;
    span.count = overflow;
    if (span.count > 0) plan.spans[plan.spanCount++] = span;
    if (overflows) {
      if (seen(loopIndex(span.from, overflow))) {
        plan.error = platform::RuntimeError::Overflow;
        break;
      }
      restUnseen = true;
    }
  }

  // Filled opaquely, a circle whose radius exceeds its centre's distance plus the farthest
  // corner covers the whole surface and hides everything drawn before it. Those are the points
  // up to `covering`, so drawing starts at the last of them in drawing order.
  if (solid && radius > farthest) {
    const double covering = absStep > 0 ? (radius - farthest) * 100 / absStep * (1 - kSlack)
                                        : std::numeric_limits<double>::infinity();
    for (int s = plan.spanCount - 1; s >= 0; --s) {
      DrawingPlan::Span& span = plan.spans[s];
      if (!(span.from <= covering)) continue;
      const double skip =
          std::min(static_cast<double>(span.count - 1), std::floor(covering - span.from));
      const auto skipped = static_cast<long long>(skip);
      span.from = loopIndex(span.from, skipped);
      span.count -= skipped;
      std::move(plan.spans.begin() + s, plan.spans.begin() + plan.spanCount, plan.spans.begin());
      plan.spanCount -= s;
      break;
    }
  }
  // With no radius step every point of a band lies on one spot.
  if (parameters.RadiusStep == 0) {
    for (int s = 0; s < plan.spanCount; ++s) {
      plan.spans[s].count = std::min(plan.spans[s].count, kRepeatsThatCanShow);
    }
  }
  return plan;
}

QRectF reachOf(const DrawingPlan& plan, const ParameterSet& parameters, const QRectF& visible) {
  double farthest = 0;
  for (int s = 0; s < plan.spanCount; ++s) {
    const DrawingPlan::Span& span = plan.spans[s];
    const double last = loopIndex(span.from, span.count - 1);
    farthest = std::max(farthest, std::abs(last) * std::abs(parameters.RadiusStep) / 100);
  }
  const double half = (farthest + plan.radius) * (1 + kSlack) + 1;
  if (!(half < 1e9)) return visible;
  return QRectF(-half, -half, 2 * half, 2 * half) & visible;
}

}  // namespace pattern
