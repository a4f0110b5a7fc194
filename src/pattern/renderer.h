// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern renderer: clears the surface and draws the whole spiral in three colour bands.
#pragma once

#include "pattern/parameters.h"
#include "surface/surface.h"

#include <array>
#include <limits>
#include <optional>

namespace pattern {

inline constexpr platform::OleColor kBandColors[3] = {
    platform::RGB(255, 0, 0), platform::RGB(0, 0, 255), platform::RGB(255, 255, 0)};

// Narrows to single precision, as the centres and the radius are; a value beyond its range
// becomes an infinity instead of an error. Inline: it runs for every circle drawn.
inline float toSingle(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// Point i (a double) of the pattern in user units, exactly as the renderer computes it.
struct PointPosition {
  double x;
  double y;
};
PointPosition pointAt(double i, double divergenceAngle, double radiusStep);

// Point i in single precision: always toSingle() of pointAt()'s coordinates, but mostly computed
// without the library's sine and cosine, several times as fast.
struct SinglePosition {
  float x;
  float y;
};
SinglePosition singlePointAt(double i, double divergenceAngle, double radiusStep);
// The discs of `count` points from i = `from` on, i growing by 1 a point as a loop adds it, each
// at singlePointAt() and of colour `fill`, written to `out`.
void discsAlong(double from, long long count, double divergenceAngle, double radiusStep,
                platform::OleColor fill, platform::Disc* out);

// The index a loop that starts at `from` and adds 1 at each step holds after `steps` steps:
// from + steps, but rounded as the loop rounds when the index passes a power of two, which a
// fractional start can make differ from from + steps in the last bit. Past 2^53 it stays.
double loopIndex(double from, long long steps);

// Told how a long drawing gets on, between pieces of work of a few milliseconds each.
class DrawMonitor {
 public:
  virtual ~DrawMonitor() = default;
  // `done` is the share of the drawing's work done so far, from 0 to 1. Returning false stops
  // the drawing.
  virtual bool keepGoing(double done) = 0;
};

struct DrawOptions {
  DrawMonitor* monitor = nullptr;
  // Strips of the surface drawn at once, each by a thread of its own; 0 for one a core where the
  // drawing is large enough to gain by it.
  int strips = 0;
};

// What one drawing draws: the circles of each band that can change a pixel, and how it ends.
struct DrawingPlan {
  // The points from, from + 1, ..., `count` of them, all of band `band`.
  struct Span {
    double from = 0;
    long long count = 0;
    int band = 0;
  };
  std::array<Span, 3> spans{};
  int spanCount = 0;
  float radius = 0;  // user units
  // FillColor once the drawing is done; none leaves it as it was.
  std::optional<platform::OleColor> fillAtEnd;
  // Raised once the spans are drawn: the first point or band bound whose arithmetic overflows.
  std::optional<platform::RuntimeError::Number> error;

  long long circles() const;
};

// The plan for `parameters` on `surface`. It draws the same picture as drawing every circle of
// every band in order, and ends in the same error, but leaves out circles that cannot change a
// pixel: those that cannot reach the surface, those under a later circle that covers the whole
// surface, and repeats of one spot past the point where they stop changing it. A circle that
// cannot be seen never raises an error; a visible circle too large to represent covers the
// surface.
DrawingPlan planDrawing(const ParameterSet& parameters, const platform::DrawingSurface& surface);

// The user-space square round the centre within which every circle of `plan` lies, cut to
// `visible`.
QRectF reachOf(const DrawingPlan& plan, const ParameterSet& parameters, const QRectF& visible);

// Clears `surface` and draws the pattern for `parameters` as planDrawing() plans it, then raises
// the plan's error if it has one. A drawing the monitor stops keeps what it drew, sets FillColor
// to the colour of the last circle drawn and throws platform::Interrupted.
void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface,
                 const DrawOptions& options = {});

}  // namespace pattern
