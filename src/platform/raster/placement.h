// SPDX-License-Identifier: GPL-3.0-or-later
// Where a circle's sprite goes, and its blending: inlined into every loop that places circles
// (one circle, a batch in order, a batch from its last circle back), as each runs for every
// circle of a redraw. For the rasteriser's own files only.
#pragma once

#include "kernels/blend.h"
#include "raster/raster.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// std::llrint() for the centres that placeable() lets through, without a call into the library.
[[gnu::always_inline]] inline long long nearest(double v) {
#if defined(__SSE2__) && defined(__x86_64__)
  return _mm_cvtsd_si64(_mm_set_sd(v));  // rounds as the current mode says, as llrint does
#else
  return std::llrint(v);
#endif
}

}  // namespace

[[gnu::always_inline]] inline bool CircleRasterizer::placeable(double cx, double cy, double r) {
  return r > 0.0 && r <= kMaxRadius && std::isfinite(cx) && std::isfinite(cy) &&
         std::abs(cx) <= kMostCentre && std::abs(cy) <= kMostCentre;
}

// Inlined, as place() is.
[[gnu::always_inline]] inline int CircleRasterizer::spriteAt(SpriteSet& set, long long qx,
                                                             long long qy) {
  // Steps is a power of two: the mask takes the position inside the pixel, as a floor division
  // would leave it.
  const int sx = static_cast<int>(qx & (set.steps - 1));
  const int sy = static_cast<int>(qy & (set.steps - 1));
  const int index = sy * set.steps + sx;
  SpriteLayout& layout = set.layouts[index];
  if (layout.width < 0) render(set.sprites[index], layout, set, sx, sy);
  return index;
}

// Inlined: it runs for every circle of a redraw.
[[gnu::always_inline]] inline CircleRasterizer::PlacedSprite CircleRasterizer::place(
    double cx, double cy, SpriteSet& set) {
  const int steps = set.steps;
  // The centre to the nearest 1/steps pixel (halves to even, as nearbyint), split into its
  // pixel and its position inside that pixel; steps is a power of two, so a shift does the floor
  // division. Integer arithmetic: this runs for every circle of a redraw.
  const int shift = steps == 8 ? 3 : 2;
  const long long qx = nearest(cx * steps);
  const long long qy = nearest(cy * steps);
  const int index = spriteAt(set, qx, qy);
  const SpriteLayout& layout = set.layouts[index];
  return {&set.sprites[index],
          QRect(static_cast<int>(qx >> shift) + layout.left,
                static_cast<int>(qy >> shift) + layout.top, layout.width, layout.height),
          layout.pixels, layout.stride};
}

[[gnu::always_inline]] inline QRect CircleRasterizer::drawSprite(const ImageView& image,
                                                                 const PlacedSprite& placed,
                                                                 const QRect& clip) {
  // The sprite's pixels inside the clip and the image, without QRect's general intersection:
  // this runs for every circle.
  const QRect& a = placed.area;
  const QRect visible(
      QPoint(std::max({a.left(), clip.left(), 0}), std::max({a.top(), clip.top(), image.firstRow})),
      QPoint(std::min({a.right(), clip.right(), image.size.width() - 1}),
             std::min({a.bottom(), clip.bottom(), image.firstRow + image.rows - 1})));
  if (visible.isEmpty()) return {};

  for (int y = visible.top(); y <= visible.bottom(); ++y) {
    const QRgb* src = placed.row(y) + (visible.left() - placed.area.left());
    QRgb* const row = image.row(y);
    blendRow(row + visible.left(), src, visible.width());
  }
  return visible;
}

}  // namespace platform
