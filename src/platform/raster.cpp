#include "raster.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

double clamp01(double v) {
  return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

// Premultiplied source-over of an edge pixel: `fillCover` of the fill and `ringCover` of the
// outline on top of what is there.
QRgb blendEdge(QRgb dst, const CircleStyle& style, double fillCover, double ringCover) {
  const double alpha = fillCover + ringCover;
  const double keep = 1.0 - alpha;
  auto channel = [&](int shift) {
    const double src =
        ((style.fill >> shift) & 0xFF) * fillCover + ((style.outline >> shift) & 0xFF) * ringCover;
    const double out = src + ((dst >> shift) & 0xFF) * keep;
    return static_cast<QRgb>(std::lround(std::min(out, 255.0))) << shift;
  };
  return channel(0) | channel(8) | channel(16) |
         static_cast<QRgb>(std::lround(std::min(alpha * 255.0 + (dst >> 24) * keep, 255.0))) << 24;
}

}  // namespace

void rasterCircle(QImage& image, double cx, double cy, double r, const CircleStyle& style) {
  if (!(r > 0.0) || !std::isfinite(cx) || !std::isfinite(cy)) return;
  const int width = image.width();
  const int height = image.height();
  if (width <= 0 || height <= 0) return;

  const QRgb fill = style.fill | 0xFF000000;
  if (std::isinf(r)) {
    if (style.filled) image.fill(fill);
    return;
  }

  const double half = style.penWidth / 2.0;
  const double outer = r + half;  // outer edge of the outline
  const double inner = r - half;  // inner edge of the outline, where the fill shows
  const double reach = outer + 0.5;

  // Bounding box of touched pixels, clamped in double first so huge centres cannot overflow int.
  const auto lowPixel = [](double v, int limit) {
    return static_cast<int>(std::clamp(std::floor(v), -1.0, static_cast<double>(limit)));
  };
  const int x0 = std::max(lowPixel(cx - reach, width), 0);
  const int x1 = std::min(lowPixel(cx + reach, width), width - 1);
  const int y0 = std::max(lowPixel(cy - reach, height), 0);
  const int y1 = std::min(lowPixel(cy + reach, height), height - 1);
  if (x0 > x1 || y0 > y1) return;

  const double solid = inner - 0.5;  // pixels whose centre is this close are wholly fill
  for (int y = y0; y <= y1; ++y) {
    const double dy = y + 0.5 - cy;
    const double dy2 = dy * dy;
    if (dy2 > reach * reach) continue;
    const double span = std::sqrt(reach * reach - dy2);
    const int sx0 = std::max(x0, lowPixel(cx - span - 0.5, width));
    const int sx1 = std::min(x1, lowPixel(cx + span - 0.5, width) + 1);

    // Pixels whose centres lie within `solid` of the centre take the fill as it is.
    int fx0 = sx1 + 1;
    int fx1 = sx1;
    if (style.filled && solid > 0.0 && solid * solid > dy2) {
      const double fullSpan = std::sqrt(solid * solid - dy2);
      fx0 = std::max(sx0, static_cast<int>(std::ceil(std::max(cx - fullSpan - 0.5, -1.0))));
      fx1 = std::min(
          sx1,
          static_cast<int>(std::floor(std::min(cx + fullSpan - 0.5, static_cast<double>(width)))));
      if (fx0 > fx1) {
        fx0 = sx1 + 1;
        fx1 = sx1;
      }
    }

    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    auto edge = [&](int x) {
      const double dx = x + 0.5 - cx;
      const double d = std::sqrt(dx * dx + dy2);
      const double outerCover = clamp01(outer - d + 0.5);
      if (outerCover <= 0.0) return;
      const double innerCover = clamp01(inner - d + 0.5);
      const double fillCover = style.filled ? innerCover : 0.0;
      row[x] = blendEdge(row[x], style, fillCover, outerCover - innerCover);
    };
    for (int x = sx0; x < std::min(fx0, sx1 + 1); ++x) edge(x);
    if (fx0 <= fx1) std::fill(row + fx0, row + fx1 + 1, fill);
    for (int x = std::max(fx1 + 1, sx0); x <= sx1; ++x) edge(x);
  }
}

}  // namespace platform
