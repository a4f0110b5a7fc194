// SPDX-License-Identifier: GPL-3.0-or-later
// The exact circle: every pixel's coverage worked out from the circle's geometry.
#include "raster/circlepixel.h"
#include "raster/raster.h"

#include "kernels/blend.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

double clamp01(double v) {
  return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

// Premultiplied colour of a pixel that is `fillCover` fill and `ringCover` outline.
QRgb coverColour(const CircleStyle& style, double fillCover, double ringCover) {
  auto channel = [&](int shift) {
    const double value =
        ((style.fill >> shift) & 0xFF) * fillCover + ((style.outline >> shift) & 0xFF) * ringCover;
    return static_cast<QRgb>(value + 0.5) << shift;  // non-negative, so this rounds
  };
  const double alpha = (fillCover + ringCover) * 255.0;
  return channel(0) | channel(8) | channel(16) | static_cast<QRgb>(alpha + 0.5) << 24;
}

}  // namespace

// Drawn as QPainter draws an antialiased ellipse with a thin pen: the disc filled with area
// coverage, then the outline on top as a line one pen wide that, like a cosmetic line, shares its
// ink between the two pixels nearest to it across its direction of travel.
QRgb circlePixel(double dx, double dy, double r, const CircleStyle& style) {
  const double adx = std::abs(dx);
  const double ady = std::abs(dy);
  const double d = std::sqrt(dx * dx + dy * dy);
  const double fillCover = style.filled ? clamp01(r - d + 0.5) : 0.0;
  // Distance from the pixel's centre to the outline along the axis the outline crosses.
  const double major = std::max(adx, ady);
  const double minor = std::min(adx, ady);
  const double across =
      minor > r ? r + 1.0 + style.penWidth : std::abs(major - std::sqrt(r * r - minor * minor));
  const double ringCover = clamp01(style.penWidth / 2.0 + 0.5 - across);
  if (fillCover <= 0.0 && ringCover <= 0.0) return 0;
  return coverColour(style, fillCover * (1.0 - ringCover), ringCover);
}

QRect rasterCircle(const ImageView& image, double cx, double cy, double r, const CircleStyle& style,
                   const QRect& clip) {
  if (!(r > 0.0) || !std::isfinite(cx) || !std::isfinite(cy)) return {};
  const QRect area = clip & image.rect();
  if (area.isEmpty()) return {};
  const int width = image.size.width();
  const int height = image.size.height();

  const QRgb fill = style.fill | 0xFF000000;
  if (std::isinf(r)) {
    if (!style.filled) return {};
    for (int y = area.top(); y <= area.bottom(); ++y) {
      std::fill(image.row(y) + area.left(), image.row(y) + area.right() + 1, fill);
    }
    return area;
  }

  const double half = style.penWidth / 2.0;
  const double outer = r + half;  // outer edge of the outline
  const double inner = r - half;  // inner edge of the outline, where the fill shows
  const double reach = outer + 0.5;

  // Pixel positions, clamped in double first so that huge coordinates cannot overflow int.
  const auto pixelOf = [](double v, int limit) {
    return static_cast<int>(std::clamp(std::floor(v), -1.0, static_cast<double>(limit)));
  };
  const auto pixelAbove = [](double v, int limit) {
    return static_cast<int>(std::clamp(std::ceil(v), -1.0, static_cast<double>(limit)));
  };
  const int x0 = std::max(pixelOf(cx - reach, width), area.left());
  const int x1 = std::min(pixelOf(cx + reach, width), area.right());
  const int y0 = std::max(pixelOf(cy - reach, height), area.top());
  const int y1 = std::min(pixelOf(cy + reach, height), area.bottom());
  if (x0 > x1 || y0 > y1) return {};

  const double solid = inner - 0.5;  // pixels whose centre is this close are wholly fill
  for (int y = y0; y <= y1; ++y) {
    const double dy = y + 0.5 - cy;
    const double dy2 = dy * dy;
    if (dy2 > reach * reach) continue;
    const double span = std::sqrt(reach * reach - dy2);
    const int sx0 = std::max(x0, pixelOf(cx - span - 0.5, width));
    const int sx1 = std::min(x1, pixelOf(cx + span - 0.5, width) + 1);

    // Pixels whose centres lie within `solid` of the centre take the fill as it is.
    int fx0 = sx1 + 1;
    int fx1 = sx1;
    if (style.filled && solid > 0.0 && solid * solid > dy2) {
      const double fullSpan = std::sqrt(solid * solid - dy2);
      fx0 = std::max(sx0, pixelAbove(cx - fullSpan - 0.5, width));
      fx1 = std::min(sx1, pixelOf(cx + fullSpan - 0.5, width));
      if (fx0 > fx1) {
        fx0 = sx1 + 1;
        fx1 = sx1;
      }
    }

    QRgb* const row = image.row(y);
    auto edge = [&](int x) {
      const double dx = x + 0.5 - cx;
      const QRgb src = circlePixel(dx, dy, r, style);
      if (src) row[x] = blendOver(row[x], src);
    };
    for (int x = sx0; x < std::min(fx0, sx1 + 1); ++x) edge(x);
    if (fx0 <= fx1) std::fill(row + fx0, row + fx1 + 1, fill);
    for (int x = std::max(fx1 + 1, sx0); x <= sx1; ++x) edge(x);
  }
  return QRect(QPoint(x0, y0), QPoint(x1, y1));
}

}  // namespace platform
