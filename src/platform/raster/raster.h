// SPDX-License-Identifier: GPL-3.0-or-later
// Antialiased circles drawn straight into an image's pixels. This is the redraw's hot path: a
// pattern is hundreds of tiny circles, and a QPainter per circle costs many times the few
// pixels each one covers.
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include <array>
#include <cstdint>
#include <vector>

namespace platform {

// x * a / 255 on all four 8-bit channels at once, rounded.
inline QRgb byteMul(QRgb x, unsigned a) {
  QRgb t = (x & 0xFF00FF) * a;
  t = (t + ((t >> 8) & 0xFF00FF) + 0x800080) >> 8;
  t &= 0xFF00FF;
  x = ((x >> 8) & 0xFF00FF) * a;
  x = x + ((x >> 8) & 0xFF00FF) + 0x800080;
  x &= 0xFF00FF00;
  return x | t;
}

// Premultiplied source-over.
inline QRgb blendOver(QRgb dst, QRgb src) {
  const unsigned alpha = qAlpha(src);
  if (alpha == 255 || dst == 0) return src;
  return src + byteMul(dst, 255 - alpha);
}

struct CircleStyle {
  QRgb outline = 0xFF000000;  // opaque
  QRgb fill = 0xFF000000;     // opaque; used when `filled`
  bool filled = false;
  double penWidth = 1.0;  // device pixels, centred on the circle's path

  bool operator==(const CircleStyle&) const = default;
};

// The pixels of a premultiplied ARGB image, taken once on the calling thread, so that several
// threads can each draw into their own rows of it without touching the QImage.
struct ImageView {
  QRgb* bits = nullptr;
  qsizetype stride = 0;  // in pixels
  QSize size;

  ImageView() = default;
  explicit ImageView(QImage& image)
      : bits(reinterpret_cast<QRgb*>(image.bits())),
        stride(image.bytesPerLine() / 4),
        size(image.size()) {}
  QRgb* row(int y) const { return bits + y * stride; }
  QRect rect() const { return QRect(QPoint(0, 0), size); }
};

// Draws a circle with centre (cx, cy) and radius r, all in device pixels of `image` (pixel (i, j)
// has its centre at (i + 0.5, j + 0.5)), onto an ARGB32_Premultiplied image, computing each
// pixel's coverage. Only pixels inside `clip` are touched; each gets the same value as without a
// clip, so strips of one image drawn apart make the same picture. A radius of zero or below, or a
// centre that is not finite, draws nothing; an infinite radius covers the image with the fill.
// Returns the pixels it may have changed.
QRect rasterCircle(const ImageView& image, double cx, double cy, double r, const CircleStyle& style,
                   const QRect& clip);
inline QRect rasterCircle(QImage& image, double cx, double cy, double r, const CircleStyle& style) {
  return rasterCircle(ImageView(image), cx, cy, r, style, image.rect());
}

// Draws circles like rasterCircle, but all but huge ones from pre-rendered sprites: one per
// radius, style and centre position to an eighth of a pixel (a quarter for larger circles),
// rendered when first used. A pattern uses
// one radius and three colours, so after the first few circles every circle is a copy and
// blend of a few dozen pixels, with no square roots.
// One rasteriser per thread: its sprite cache is its own.
class CircleRasterizer {
 public:
  // Draws only the pixels inside `clip`, as rasterCircle does.
  QRect draw(const ImageView& image, double cx, double cy, double r, const CircleStyle& style,
             const QRect& clip);
  QRect draw(QImage& image, double cx, double cy, double r, const CircleStyle& style) {
    return draw(ImageView(image), cx, cy, r, style, image.rect());
  }

 private:
  static constexpr int kMaxSteps = 8;         // sub-pixel positions per axis, a power of two
  static constexpr double kFineRadius = 16;   // larger circles use half as many positions
  static constexpr double kMaxRadius = 64;    // larger circles are computed pixel by pixel
  static constexpr std::size_t kMaxSets = 8;  // sprite sets kept, oldest dropped first

  // The pixels one circle changes, premultiplied, from (left, top) relative to the pixel that
  // holds the circle's centre.
  struct Sprite {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<QRgb> pixels;
    bool rendered = false;
  };

  struct SpriteSet {
    double radius;
    CircleStyle style;
    int steps;                                          // sub-pixel positions per axis
    std::array<Sprite, kMaxSteps * kMaxSteps> sprites;  // by sub-pixel position, when used
  };

  static void render(Sprite& sprite, const SpriteSet& set, int sx, int sy);

  // The sprite for a circle, rendered when first used, and where its pixels land on the image;
  // no sprite for circles that are drawn pixel by pixel.
  struct Placement {
    const Sprite* sprite;
    QRect area;
    // The sprite's pixels of image row y.
    const QRgb* row(int y) const {
      return sprite->pixels.data() + static_cast<std::size_t>(y - area.top()) * sprite->width;
    }
  };
  Placement place(double cx, double cy, double r, const CircleStyle& style);

  SpriteSet& setFor(double r, const CircleStyle& style);

  std::vector<SpriteSet> sets_;
};

}  // namespace platform
