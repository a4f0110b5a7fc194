// SPDX-License-Identifier: GPL-3.0-or-later
// The sprite cache: each circle of a radius and style, made once for every position inside a
// pixel at which a centre can fall, from the exact circle's pixels.
#include "raster/circlepixel.h"
#include "raster/raster.h"

#include <algorithm>
#include <cmath>

namespace platform {

CircleRasterizer::SpriteSet& CircleRasterizer::setFor(double r, const CircleStyle& style) {
  // Successive circles almost always share radius and style.
  if (!sets_.empty() && sets_.back().radius == r && sets_.back().style == style) {
    return sets_.back();
  }
  // Keep the sets in order of use, the latest last; the oldest goes first when full.
  for (auto it = sets_.begin(); it != sets_.end(); ++it) {
    if (it->radius == r && it->style == style) {
      std::rotate(it, it + 1, sets_.end());
      return sets_.back();
    }
  }
  if (sets_.size() == kMaxSets) {
    sets_.erase(sets_.begin());
    ++droppedSets_;
  }
  SpriteSet& set = sets_.emplace_back();
  set.radius = r;
  set.style = style;
  set.steps = stepsFor(r);
  return set;
}

void CircleRasterizer::render(Sprite& sprite, SpriteLayout& layout, const SpriteSet& set, int sx,
                              int sy) {
  const double r = set.radius;
  const CircleStyle& style = set.style;
  // The circle's centre relative to the top-left corner of its own pixel.
  const double cx = static_cast<double>(sx) / set.steps;
  const double cy = static_cast<double>(sy) / set.steps;
  const int half = static_cast<int>(std::ceil(r + style.penWidth / 2.0 + 0.5)) + 1;
  const int size = 2 * half + 1;
  std::vector<QRgb> full(static_cast<std::size_t>(size) * size);
  int x0 = size, y0 = size, x1 = -1, y1 = -1;
  for (int v = 0; v < size; ++v) {
    for (int u = 0; u < size; ++u) {
      const QRgb pixel = circlePixel(u - half + 0.5 - cx, v - half + 0.5 - cy, r, style);
      full[static_cast<std::size_t>(v) * size + u] = pixel;
      if (pixel) {
        x0 = std::min(x0, u);
        x1 = std::max(x1, u);
        y0 = std::min(y0, v);
        y1 = std::max(y1, v);
      }
    }
  }
  if (x1 < 0) {
    layout = {};
    layout.width = 0;
    return;
  }
  const int width = x1 - x0 + 1;
  // Every sprite of a set as high as the highest can be, the rows it lacks transparent below it:
  // blending a transparent row leaves the image as it is, and the AVX2 blend (blend.cpp) then
  // runs its row loop the same number of times for each circle, so the processor foresees the
  // loop's end (see there).
  // As high as the rows that the outline, r + pen / 2 from the centre, can reach.
  const double reach = r + style.penWidth / 2;
  const int height = std::max(y1 - y0 + 1, static_cast<int>(std::ceil(2 * reach)) + 1);
  const int stride = (width + 7) / 8 * 8;
  sprite.pixels.reserve(static_cast<std::size_t>(stride) * height);
  sprite.rows.reserve(static_cast<std::size_t>(height));
  for (int v = y0; v < y0 + height; ++v) {
    if (v > y1) {
      sprite.pixels.resize(sprite.pixels.size() + stride, 0);
      sprite.rows.push_back(RowSpan{});
      continue;
    }
    const auto* row = full.data() + static_cast<std::size_t>(v) * size;
    sprite.pixels.insert(sprite.pixels.end(), row + x0, row + x1 + 1);
    sprite.pixels.resize(sprite.pixels.size() + (stride - width), 0);
    RowSpan span;
    int runStart = 0;
    for (int u = 0; u < width; ++u) {
      const QRgb pixel = row[x0 + u];
      if (pixel && span.first > span.last) span.first = u;
      if (pixel) span.last = u;
      if (qAlpha(pixel) != 255) {
        runStart = u + 1;
      } else if (u - runStart > span.opaqueLast - span.opaqueFirst) {
        span.opaqueFirst = runStart;
        span.opaqueLast = u;
      }
    }
    sprite.rows.push_back(span);
  }
  layout = {sprite.pixels.data(),
            static_cast<std::int16_t>(x0 - half),
            static_cast<std::int16_t>(y0 - half),
            static_cast<std::int16_t>(width),
            static_cast<std::int16_t>(height),
            static_cast<std::int16_t>(stride)};
}

}  // namespace platform
