// SPDX-License-Identifier: GPL-3.0-or-later
// Placing circles: one at a time, and a batch in order, four at a time by the placement kernel.
#include "raster/placement.h"
#include "raster/raster.h"

#include "kernels/kernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace platform {

QRect CircleRasterizer::draw(const ImageView& image, double cx, double cy, double r,
                             const CircleStyle& style, const QRect& clip) {
  if (!placeable(cx, cy, r)) return rasterCircle(image, cx, cy, r, style, clip);
  return drawSprite(image, place(cx, cy, setFor(r, style)), clip);
}

void CircleRasterizer::drawInOrder(const ImageView& image, std::span<const BatchCircle> circles,
                                   double r, CircleStyle style, const QRect& area, Damage& drawn) {
  // In two steps for each chunk of circles: where each sprite goes, then the blending. Each
  // step's loop is short, so the processor works on several circles at once (measured: a tenth
  // off a redraw of 600,000 small circles), and the blending can use the widest instructions
  // the processor has (AVX2: more than half off).
  constexpr std::size_t kChunk = 64;
  std::array<Blit, kChunk> blits;
  std::size_t pending = 0;
  const QRect inside = area & image.rect();
  const Kernels& kernel = kernels();
  const auto blitPending = [&] {
    kernel.blitAll(blits.data(), pending, image.stride);
    pending = 0;
  };
  // What every circle of the batch shares, taken out of the loop: it runs for every circle of a
  // redraw.
  const bool fromSprites = r > 0.0 && r <= kMaxRadius;
  const int steps = stepsFor(r);
  const int shift = steps == kMaxSteps ? 3 : 2;
  const double perPixel = steps;
  const int insideLeft = inside.left();
  const int insideTop = inside.top();
  const int insideRight = inside.right() + 1;  // past the last column
  const int insideBottom = inside.bottom() + 1;
  // The sprite set is looked up once for each run of circles of one fill, not for each circle;
  // the set found stays where it is until the next lookup, which may drop a set, so what is
  // pending is blitted first.
  SpriteSet* set = nullptr;
  const auto drawOne = [&](const BatchCircle& circle) {
    if (!placeable(circle.cx, circle.cy, r)) {
      blitPending();
      style.fill = circle.fill;
      drawn.add(rasterCircle(image, circle.cx, circle.cy, r, style, area));
      return;
    }
    if (!set || set->style.fill != circle.fill) {
      blitPending();
      style.fill = circle.fill;
      set = &setFor(r, style);
    }
    // As place() finds the sprite and where it lies.
    const long long qx = nearest(circle.cx * perPixel);
    const long long qy = nearest(circle.cy * perPixel);
    const SpriteLayout& layout = set->layouts[spriteAt(*set, qx, qy)];
    const int left = static_cast<int>(qx >> shift) + layout.left;
    const int top = static_cast<int>(qy >> shift) + layout.top;
    const int right = left + layout.width;
    const int x0 = std::max(left, insideLeft);
    const int x1 = std::min(right, insideRight);
    const int y0 = std::max(top, insideTop);
    const int y1 = std::min(top + layout.height, insideBottom);
    if (x0 >= x1 || y0 >= y1) return;
    drawn.add(QRect(x0, y0, x1 - x0, y1 - y0));
    // Past a row's last pixel the sprite's transparent padding may be blended too, as far as
    // the area goes: that leaves the image as it is. Not where the area cuts the row short.
    const int cut = x0 - left;
    const int reach = x1 < right ? x1 - x0 : std::min(layout.stride - cut, insideRight - x0);
    blits[pending++] = {image.row(y0) + x0,
                        layout.pixels + static_cast<std::size_t>(y0 - top) * layout.stride + cut,
                        y1 - y0,
                        x1 - x0,
                        layout.stride,
                        reach};
    if (pending == kChunk) blitPending();
  };
  // Four circles at a time where that can be (measured with AVX2: a tenth off a redraw of 600,000
  // small circles): small sprites, and an image whose offsets fit 32 bits.
  const bool byFour = fromSprites && steps == kMaxSteps && inside.isValid() &&
                      image.size.width() <= kMostSide && image.size.height() <= kMostSide &&
                      image.stride * image.size.height() < (qsizetype{1} << 31);
  if (byFour) {
    const BlitTarget target = BlitTarget::of(insideLeft, insideTop, insideRight, insideBottom,
                                             static_cast<int>(image.stride), image.origin());
    std::size_t k = 0;
    for (; k + 4 <= circles.size(); k += 4) {
      if (!set) {
        for (std::size_t lane = 0; lane < 4; ++lane) drawOne(circles[k + lane]);
        continue;
      }
      // Written where they are blitted from: most often all four are placed, and once the
      // damage is all of the area there is nothing more to do for them.
      if (pending + 4 > kChunk) blitPending();
      Blit* const four = &blits[pending];
      std::array<std::int32_t, 8> corners;  // the four first pixels drawn: columns, then rows
      const int placed = kernel.placeFour(&circles[k], set->layouts.data(), set->style.fill, target,
                                          four, corners.data());
      if (placed == 0xF && drawn.all()) {
        pending += 4;
        if (pending == kChunk) blitPending();
        continue;
      }
      // Each lane in order: a circle drawn alone appends its blit at `pending`, over the four.
      const std::array<Blit, 4> written{four[0], four[1], four[2], four[3]};
      for (std::size_t lane = 0; lane < 4; ++lane) {
        if ((placed >> lane & 1) == 0) {
          // Passed over, or left to the way each circle is drawn alone.
          if ((placed >> (lane + 4) & 1) == 0) drawOne(circles[k + lane]);
          continue;
        }
        drawn.add(
            QRect(corners[lane], corners[lane + 4], written[lane].columns, written[lane].rows));
        blits[pending++] = written[lane];
        if (pending == kChunk) blitPending();
      }
    }
    for (; k < circles.size(); ++k) drawOne(circles[k]);
    blitPending();
    return;
  }
  for (const BatchCircle& circle : circles) drawOne(circle);
  blitPending();
}

}  // namespace platform
