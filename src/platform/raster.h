// Antialiased circles drawn straight into an image's pixels. This is the redraw's hot path: a
// pattern is thousands of tiny circles, and a QPainter per circle costs far more than the few
// pixels each one covers.
#pragma once

#include <QImage>
#include <QRgb>

namespace platform {

struct CircleStyle {
  QRgb outline = 0xFF000000;  // opaque
  QRgb fill = 0xFF000000;     // opaque; used when `filled`
  bool filled = false;
  double penWidth = 1.0;  // device pixels, centred on the circle's path
};

// Draws a circle with centre (cx, cy) and radius r, all in device pixels of `image` (pixel (i, j)
// has its centre at (i + 0.5, j + 0.5)), onto an ARGB32_Premultiplied image. A radius of zero or
// below, or a centre that is not finite, draws nothing; an infinite radius covers the image with
// the fill.
void rasterCircle(QImage& image, double cx, double cy, double r, const CircleStyle& style);

}  // namespace platform
