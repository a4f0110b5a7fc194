// SPDX-License-Identifier: GPL-3.0-or-later
// Antialiased circles drawn straight into an image's pixels. This is the redraw's hot path: a
// pattern is hundreds of tiny circles, and a QPainter per circle costs many times the few
// pixels each one covers.
#pragma once

#include "kernels/blend.h"
#include "kernels/kernels.h"
#include "raster/coverage.h"
#include "raster/damage.h"

#include <QImage>
#include <QRect>
#include <QRgb>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

struct CircleStyle {
  QRgb outline = 0xFF000000;  // opaque
  QRgb fill = 0xFF000000;     // opaque; used when `filled`
  bool filled = false;
  double penWidth = 1.0;  // device pixels, centred on the circle's path

  bool operator==(const CircleStyle&) const = default;
};

// The pixels of a premultiplied ARGB image, taken once on the calling thread, so that several
// threads can each draw into their own rows of it without touching the QImage. The image may hold
// only a band of the rows of a taller area (a poster drawn band by band): rows are numbered in the
// area, and only those of the band can be drawn on, so that every pixel gets the value it would
// get in an image of the whole area.
struct ImageView {
  QRgb* bits = nullptr;  // the first row held
  qsizetype stride = 0;  // in pixels
  QSize size;            // of the whole area
  int firstRow = 0;      // the area's row that bits holds
  int rows = 0;          // rows held, from firstRow on

  ImageView() = default;
  explicit ImageView(QImage& image, int areaFirstRow = 0, QSize areaSize = {})
      : bits(reinterpret_cast<QRgb*>(image.bits())),
        stride(image.bytesPerLine() / 4),
        size(areaSize.isValid() ? areaSize : image.size()),
        firstRow(areaFirstRow),
        rows(image.height()) {}
  QRgb* row(int y) const { return bits + (y - firstRow) * stride; }
  // The pixels held, in the area's coordinates.
  QRect rect() const { return QRect(0, firstRow, size.width(), rows); }
  // The address that row 0 of the area would have, for offsets computed in the area's rows; an
  // integer, as the band's rows before it are not there.
  std::intptr_t origin() const {
    return reinterpret_cast<std::intptr_t>(bits) -
           static_cast<std::intptr_t>(firstRow) * stride * static_cast<std::intptr_t>(sizeof(QRgb));
  }
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
// rendered when first used. A pattern uses one radius and three colours, so after the first few
// circles every circle is a copy and blend of a few dozen pixels, with no square roots.
// One rasteriser per thread: its sprite cache is its own.
class CircleRasterizer {
 public:
  // Draws only the pixels inside `clip`, as rasterCircle does.
  QRect draw(const ImageView& image, double cx, double cy, double r, const CircleStyle& style,
             const QRect& clip);
  QRect draw(QImage& image, double cx, double cy, double r, const CircleStyle& style) {
    return draw(ImageView(image), cx, cy, r, style, image.rect());
  }

  // Draws the circles inside `clip`, making the same pixels as draw() for each in order, with
  // `style` but each circle's own fill. From a radius of 6 device pixels on, a pixel that a later
  // circle of the batch paints opaquely is not drawn by the circles before it: the batch is looked
  // at from its last circle back first, so that what a redraw costs grows with what shows, not
  // with every circle drawn over. Smaller circles are drawn in order, every pixel, which costs
  // less than looking for what is hidden.
  // Adds the pixels each circle changes to `drawn`.
  void drawBatch(const ImageView& image, std::span<const BatchCircle> circles, double r,
                 CircleStyle style, const QRect& clip, Damage& drawn);
  // Gives back what a batch took when it is large; the sprites stay.
  void releaseBatchMemory();

 private:
  static constexpr int kMaxSteps = kPlacedSteps;  // sub-pixel positions per axis, a power of two
  static constexpr double kFineRadius = 16;       // larger circles use half as many positions
  static constexpr double kMaxRadius = 64;        // larger circles are computed pixel by pixel
  static constexpr std::size_t kMaxSets = 8;      // sprite sets kept, oldest dropped first
  // Centres farther out than this (device pixels) are drawn pixel by pixel.
  static constexpr double kMostCentre = kMostPlacedCentre;
  // Sub-pixel positions per axis of the sprites of radius r.
  static constexpr int stepsFor(double r) { return r <= kFineRadius ? kMaxSteps : kMaxSteps / 2; }

  // Rows of bands this high share one coverage row when circles are drawn pixel by pixel.
  static constexpr int kBandRows = 8;

  // Columns of one sprite row, from the sprite's left: those not transparent, and the longest
  // run of opaque ones. An empty range has first > last.
  struct RowSpan {
    int first = 0;
    int last = -1;
    int opaqueFirst = 0;
    int opaqueLast = -1;
  };

  // The pixels one circle changes, premultiplied, row by row, and each row's span; where they lie
  // is the sprite's layout.
  struct Sprite {
    std::vector<QRgb> pixels;
    std::vector<RowSpan> rows;
  };

  struct SpriteSet {
    double radius;
    CircleStyle style;
    int steps;                                                // sub-pixel positions per axis
    std::array<Sprite, kMaxSteps * kMaxSteps> sprites;        // by sub-pixel position, when used
    std::array<SpriteLayout, kMaxSteps * kMaxSteps> layouts;  // of each sprite
  };

  static void render(Sprite& sprite, SpriteLayout& layout, const SpriteSet& set, int sx, int sy);

  // The sprite for a circle, rendered when first used, and where its pixels land on the image;
  // no sprite for circles that are drawn pixel by pixel.
  struct PlacedSprite {
    const Sprite* sprite;
    QRect area;
    const QRgb* pixels;
    int stride;
    // The sprite's pixels of image row y.
    const QRgb* row(int y) const {
      return pixels + static_cast<std::size_t>(y - area.top()) * stride;
    }
  };
  // Whether a circle is drawn from a sprite: not too large, its centre a number within reach.
  static bool placeable(double cx, double cy, double r);
  // The sprite of `set` for a centre at (qx, qy) steps of its positions, rendered when first
  // used: its number in the set's sprites and layouts.
  static int spriteAt(SpriteSet& set, long long qx, long long qy);
  PlacedSprite place(double cx, double cy, SpriteSet& set);
  static QRect drawSprite(const ImageView& image, const PlacedSprite& placed, const QRect& clip);
  // Each circle in order, as draw() draws it.
  void drawInOrder(const ImageView& image, std::span<const BatchCircle> circles, double r,
                   CircleStyle style, const QRect& area, Damage& drawn);

  SpriteSet& setFor(double r, const CircleStyle& style);

  // A batch's pieces still to draw, found from its last circle back: a run of pixels of a row
  // (or, for circles drawn pixel by pixel, of a band of rows) that no later circle decides.
  // 16 bits each, for a smaller list: drawBatch() takes images of up to kMostSide pixels a side.
  static constexpr int kMostSide = 32767;
  struct Run {
    std::int16_t y;  // the row, or the band's first row
    std::int16_t first;
    std::int16_t last;
  };
  // A circle of the batch with something to draw: its runs are runs_[firstRun, endRun).
  struct VisibleCircle {
    std::size_t circle;
    std::size_t firstRun;
    std::size_t endRun;
    // Where its sprite lies, when it has one. A batch uses at most three sprite sets, all kept
    // until it is drawn, and their pixels do not move when the sets are reordered.
    const QRgb* pixels;
    const RowSpan* rows;
    QPoint origin;
    int stride;
  };
  void findSpriteRuns(const BatchCircle& circle, double r, const CircleStyle& style,
                      const QRect& area, std::size_t index);
  void findBandRuns(const BatchCircle& circle, double r, const CircleStyle& style,
                    const QRect& area, std::size_t index);
  static void drawSpriteRuns(const ImageView& image, const VisibleCircle& visible,
                             std::span<const Run> runs);

  std::vector<SpriteSet> sets_;
  std::size_t droppedSets_ = 0;  // sets dropped so far, to know whether a batch dropped one
  Coverage coverage_;
  std::vector<Run> runs_;
  std::vector<VisibleCircle> visible_;
};

}  // namespace platform
