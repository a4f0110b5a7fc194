// SPDX-License-Identifier: GPL-3.0-or-later
// A batch from its last circle back: only the pixels that no later circle paints over are drawn.
#include "raster/placement.h"
#include "raster/raster.h"

#include "kernels/blend.h"

#include <algorithm>
#include <cmath>

namespace platform {

void CircleRasterizer::findSpriteRuns(const BatchCircle& circle, double r, const CircleStyle& style,
                                      const QRect& area, std::size_t index) {
  // Without a sprite, a circle this small lies outside every image.
  if (!placeable(circle.cx, circle.cy, r)) return;
  const PlacedSprite placed = place(circle.cx, circle.cy, setFor(r, style));
  const QRect& at = placed.area;
  const int top = std::max(at.top(), area.top());
  const int bottom = std::min(at.bottom(), area.bottom());
  if (top > bottom || at.left() > area.right() || at.right() < area.left()) return;
  const std::size_t firstRun = runs_.size();
  const RowSpan* const rows = placed.sprite->rows.data();
  for (int y = top; y <= bottom; ++y) {
    const RowSpan& span = rows[y - at.top()];
    const int first = std::max(at.left() + span.first, area.left());
    const int last = std::min(at.left() + span.last, area.right());
    if (first > last) continue;
    const int band = y - area.top();
    coverage_.forUncovered(band, first, last, [&](int from, int to) {
      runs_.push_back({static_cast<std::int16_t>(y), static_cast<std::int16_t>(from),
                       static_cast<std::int16_t>(to)});
    });
    coverage_.cover(band, std::max(at.left() + span.opaqueFirst, area.left()),
                    std::min(at.left() + span.opaqueLast, area.right()));
  }
  if (runs_.size() == firstRun) return;
  visible_.push_back({index, firstRun, runs_.size(), placed.sprite->pixels.data(), rows,
                      at.topLeft(), placed.stride});
}

void CircleRasterizer::findBandRuns(const BatchCircle& circle, double r, const CircleStyle& style,
                                    const QRect& area, std::size_t index) {
  if (!std::isfinite(circle.cx) || !std::isfinite(circle.cy)) return;
  const std::size_t firstRun = runs_.size();
  const auto band = [&](int y, int first, int last, int opaqueFirst, int opaqueLast) {
    const int number = (y - area.top()) / kBandRows;
    coverage_.forUncovered(number, first, last, [&](int from, int to) {
      runs_.push_back({static_cast<std::int16_t>(y), static_cast<std::int16_t>(from),
                       static_cast<std::int16_t>(to)});
    });
    coverage_.cover(number, opaqueFirst, opaqueLast);
  };
  if (std::isinf(r)) {
    // Covers the whole area with the fill, or draws nothing.
    if (!style.filled) return;
    for (int y = area.top(); y <= area.bottom(); y += kBandRows) {
      band(y, area.left(), area.right(), area.left(), area.right());
    }
  } else {
    // The same bounds as rasterCircle() finds row by row: a band's pixels reach as far as its
    // row nearest the centre reaches, and its fill covers, in every row, what it covers in the
    // row farthest from the centre.
    const double cx = circle.cx;
    const double cy = circle.cy;
    const double reach = r + style.penWidth / 2.0 + 0.5;
    const double solid = r - style.penWidth / 2.0 - 0.5;
    const double width = area.right() + 1;
    const auto pixelOf = [](double v, double limit) {
      return static_cast<int>(std::clamp(std::floor(v), -1.0, limit));
    };
    const auto pixelAbove = [](double v, double limit) {
      return static_cast<int>(std::clamp(std::ceil(v), -1.0, limit));
    };
    const int top = std::max(area.top(), pixelOf(cy - reach, area.bottom() + 1.0));
    const int bottom = std::min(area.bottom(), pixelOf(cy + reach, area.bottom() + 1.0));
    // Bands start at area.top() and every kBandRows rows after it.
    for (int y = area.top() + (std::max(top, area.top()) - area.top()) / kBandRows * kBandRows;
         y <= bottom; y += kBandRows) {
      const int last = std::min(y + kBandRows - 1, area.bottom());
      const double dyTop = y + 0.5 - cy;
      const double dyBottom = last + 0.5 - cy;
      const double nearest = dyTop > 0 ? dyTop : (dyBottom < 0 ? -dyBottom : 0.0);
      const double farthest = std::max(std::abs(dyTop), std::abs(dyBottom));
      if (nearest * nearest > reach * reach) continue;
      const double span = std::sqrt(reach * reach - nearest * nearest);
      const int first = std::max(area.left(), pixelOf(cx - span - 0.5, width));
      const int end = std::min(area.right(), pixelOf(cx + span - 0.5, width) + 1);
      int opaqueFirst = 0;
      int opaqueLast = -1;
      if (style.filled && solid > 0.0 && solid * solid > farthest * farthest && y >= top &&
          last <= bottom) {
        const double fullSpan = std::sqrt(solid * solid - farthest * farthest);
        opaqueFirst = std::max(area.left(), pixelAbove(cx - fullSpan - 0.5, width));
        opaqueLast = std::min(end, pixelOf(cx + fullSpan - 0.5, width));
      }
      if (first <= end) band(y, first, end, opaqueFirst, opaqueLast);
    }
  }
  if (runs_.size() == firstRun) return;
  visible_.push_back({index, firstRun, runs_.size(), nullptr, nullptr, {}, 0});
}

void CircleRasterizer::drawSpriteRuns(const ImageView& image, const VisibleCircle& visible,
                                      std::span<const Run> runs) {
  for (const Run& run : runs) {
    const int v = run.y - visible.origin.y();
    const RowSpan& span = visible.rows[v];
    const int left = visible.origin.x();
    // The run's pixels of the sprite and of the image, from the run's first column.
    const QRgb* const src =
        visible.pixels + static_cast<std::size_t>(v) * visible.stride + (run.first - left);
    QRgb* const dst = image.row(run.y) + run.first;
    const int count = run.last - run.first + 1;
    // The opaque middle is copied as it is; only the edges are blended.
    int opaqueFirst = std::max(0, left + span.opaqueFirst - run.first);
    const int opaqueEnd = std::min(count, left + span.opaqueLast + 1 - run.first);
    if (opaqueFirst >= opaqueEnd) opaqueFirst = count;
    blendRow(dst, src, opaqueFirst);
    if (opaqueFirst == count) continue;
    std::copy(src + opaqueFirst, src + opaqueEnd, dst + opaqueFirst);
    blendRow(dst + opaqueEnd, src + opaqueEnd, count - opaqueEnd);
  }
}

void CircleRasterizer::releaseBatchMemory() {
  // What a batch of small circles takes is kept for the next one: the animation draws many a
  // second. The runs of a batch of large circles can take tens of megabytes.
  constexpr std::size_t kKeptBytes = 4 << 20;
  if (runs_.capacity() * sizeof(Run) + visible_.capacity() * sizeof(VisibleCircle) <= kKeptBytes)
    return;
  runs_ = {};
  visible_ = {};
  coverage_ = {};
}

void CircleRasterizer::drawBatch(const ImageView& image, std::span<const BatchCircle> circles,
                                 double r, CircleStyle style, const QRect& clip, Damage& drawn) {
  const QRect area = clip & image.rect();
  if (area.isEmpty() || circles.empty() || !(r > 0.0)) return;
  // Below this radius (device pixels) looking for what is hidden costs more than blending the
  // few pixels of each sprite: measured with the redraw benchmark, it pays from about 6 up.
  constexpr double kHiddenPaysFrom = 6;
  if (r < kHiddenPaysFrom || area.right() > kMostSide || area.bottom() > kMostSide) {
    drawInOrder(image, circles, r, style, area, drawn);
    return;
  }
  const bool sprites = r <= kMaxRadius;
  const int bandRows = sprites ? 1 : kBandRows;
  coverage_.reset(area.right() + 1, (area.height() + bandRows - 1) / bandRows);
  runs_.clear();
  visible_.clear();
  const std::size_t dropped = droppedSets_;
  for (std::size_t k = circles.size(); k-- > 0;) {
    style.fill = circles[k].fill;
    if (sprites) {
      findSpriteRuns(circles[k], r, style, area, k);
    } else {
      findBandRuns(circles[k], r, style, area, k);
    }
  }
  if (droppedSets_ != dropped) {
    // More fills than sprite sets kept: some sprites found are gone. Every circle in order.
    drawInOrder(image, circles, r, style, area, drawn);
    return;
  }
  for (auto it = visible_.rbegin(); it != visible_.rend(); ++it) {
    const std::span<const Run> runs(runs_.data() + it->firstRun, it->endRun - it->firstRun);
    QRect touched;
    if (it->pixels) {
      drawSpriteRuns(image, *it, runs);
      for (const Run& run : runs) touched |= QRect(run.first, run.y, run.last - run.first + 1, 1);
    } else {
      const BatchCircle& circle = circles[it->circle];
      style.fill = circle.fill;
      for (const Run& run : runs) {
        const QRect band(QPoint(run.first, run.y),
                         QPoint(run.last, std::min(run.y + kBandRows - 1, area.bottom())));
        touched |= rasterCircle(image, circle.cx, circle.cy, r, style, band);
      }
    }
    drawn.add(touched);
  }
}

}  // namespace platform
