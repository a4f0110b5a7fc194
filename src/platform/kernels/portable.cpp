// SPDX-License-Identifier: GPL-3.0-or-later
// The hot kernels in plain C++: what every processor runs, and what the AVX2 row is held
// against. Built with full optimisation, so the compiler vectorises what it can for the
// baseline it targets.
#include "kernels/portable.h"

#include "kernels/blend.h"
#include "kernels/positions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::portable {

using position::angleOf;
using position::fastSinCos;
using position::fastSingle;
using position::kFastAngles;
using position::SinCos;

namespace {

// Inlined into the loop over a block's points.
[[gnu::always_inline]] inline void discFromCosSin(PositionBlock& block, int k, double radiusStep,
                                                  OleColor fill, Disc* out, int& unsure) {
  Disc& disc = out[k];
  disc.fill = fill;
  const bool sure = fastSingle(block.index[k], radiusStep,
                               {block.cosSin[2 * k + 1], block.cosSin[2 * k]}, disc.x, disc.y);
  // Written every time and kept by the count: no branch.
  block.unsure[unsure] = k;
  unsure += sure ? 0 : 1;
}

}  // namespace

void positionFromCosSin(PositionBlock& block, int k, double radiusStep, OleColor fill, Disc* out,
                        int& unsure) {
  discFromCosSin(block, k, radiusStep, fill, out, unsure);
}

int positions(PositionBlock& block, int count, double divergenceAngle, double radiusStep,
              OleColor fill, Disc* out) {
  // One step at a time for all points of the block: each step's loop has no long chain of
  // dependent operations and no branch, so the compiler vectorises it and the processor works on
  // many points at once.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int k = 0; k < count; ++k) {
    const double theta = angleOf(block.index[k], divergenceAngle);
    const SinCos sc = fastSinCos(theta);
    const bool inRange = std::abs(theta) <= kFastAngles;
    block.cosSin[2 * k] = inRange ? sc.cos : nan;
    block.cosSin[2 * k + 1] = inRange ? sc.sin : nan;
  }
  int unsure = 0;
  for (int k = 0; k < count; ++k) discFromCosSin(block, k, radiusStep, fill, out, unsure);
  return unsure;
}

std::size_t appendDiscsInRows(const Disc* discs, std::size_t first, std::size_t count,
                              UserRows rows, std::uint32_t* out, std::size_t kept) {
  for (std::size_t i = first; i < count; ++i) {
    const float y = discs[i].y;
    // Written every time and kept by the count: no branch to mispredict on discs that fall on
    // the strip and off it in no order.
    out[kept] = static_cast<std::uint32_t>(i);
    kept += !(y < rows.lowest || y > rows.highest);
  }
  return kept;
}

std::size_t discsInRows(const Disc* discs, std::size_t count, UserRows rows, std::uint32_t* out) {
  return appendDiscsInRows(discs, 0, count, rows, out, 0);
}

int placeFour(const BatchCircle* circles, const SpriteLayout* layouts, QRgb fill,
              const BlitTarget& target, Blit* out, std::int32_t* corners) {
  int placed = 0;
  int passed = 0;
  const int firstColumn = target.first[0];
  const int firstRow = target.first[4];
  const int endColumn = target.end[0];
  const int endRow = target.end[4];
  for (int lane = 0; lane < 4; ++lane) {
    const BatchCircle& circle = circles[lane];
    // NaNs fail the comparison.
    if (!(std::abs(circle.cx) <= kMostPlacedCentre && std::abs(circle.cy) <= kMostPlacedCentre)) {
      continue;
    }
    // The centre to the nearest 1/kPlacedSteps pixel, halves to even, split into its pixel and
    // its position inside that pixel.
    // A centre this far out lies outside the area, so the clamp (which keeps the conversion in
    // range) changes no placement that is used.
    const auto quantised = [](double c) {
      return static_cast<std::int32_t>(
          std::nearbyint(std::clamp(c * kPlacedSteps, -0x1p30, 0x1p30)));
    };
    const std::int32_t qx = quantised(circle.cx);
    const std::int32_t qy = quantised(circle.cy);
    const SpriteLayout& layout =
        layouts[(qy & (kPlacedSteps - 1)) * kPlacedSteps + (qx & (kPlacedSteps - 1))];
    const int left = (qx >> 3) + layout.left;
    const int top = (qy >> 3) + layout.top;
    const int width = layout.width;
    // Rows of up to eight pixels are padded to eight, longer ones to sixteen.
    const int stride = width > 8 ? 16 : 8;
    const int x0 = std::max(left, firstColumn);
    const int x1 = std::min(left + width, endColumn);
    const int y0 = std::max(top, firstRow);
    const int y1 = std::min(top + layout.height, endRow);
    const bool meetsBoth = x1 > x0 && y1 > y0;
    const bool columnsInside = left >= firstColumn && left + stride <= endColumn;
    const bool ours = width >= 0 && width <= 16 && circle.fill == fill;
    if (ours && meetsBoth && columnsInside) {
      placed |= 1 << lane;
      corners[lane] = x0;
      corners[lane + 4] = y0;
      const std::intptr_t offset =
          static_cast<std::intptr_t>(y0) * target.stride + static_cast<std::intptr_t>(left);
      out[lane] = {reinterpret_cast<QRgb*>(target.origin +
                                           offset * static_cast<std::intptr_t>(sizeof(QRgb))),
                   layout.pixels + static_cast<std::ptrdiff_t>(y0 - top) * stride,
                   y1 - y0,
                   width,
                   stride,
                   stride};
    } else if (ours && !meetsBoth) {
      passed |= 1 << lane;
    }
  }
  return placed | passed << 4;
}

void blitAll(const Blit* blits, std::size_t count, qsizetype dstStride) {
  for (const Blit& blit : std::span(blits, count)) {
    QRgb* dst = blit.dst;
    const QRgb* src = blit.src;
    for (int row = 0; row < blit.rows; ++row, dst += dstStride, src += blit.srcStride) {
      blendRow(dst, src, blit.columns);
    }
  }
}

constinit const Kernels kernelRow{"portable", positions, discsInRows, placeFour, blitAll};

}  // namespace platform::portable
