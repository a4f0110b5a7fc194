// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/raster.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

using platform::CircleRasterizer;
using platform::CircleStyle;
using platform::rasterCircle;

namespace {

QImage emptyImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// The largest difference of any channel of any pixel.
int largestChannelStep(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      for (int shift = 0; shift < 32; shift += 8) {
        largest = std::max(largest, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
      }
    }
  }
  return largest;
}

constexpr CircleStyle kRedOnBlack{0xFF000000, 0xFFFF0000, true, 1.0};

TEST(RasterCircle, HugeCirclesFarOffTheImageStayWithinIt) {
  QImage image = emptyImage(64);
  // The circle's left edge lies at x = 32: the right half of the image is inside it.
  rasterCircle(image, 1e12 + 32, 32, 1e12, kRedOnBlack);
  EXPECT_EQ(image.pixel(0, 32), 0u);
  EXPECT_EQ(image.pixel(40, 0), 0xFFFF0000);
  EXPECT_EQ(image.pixel(63, 63), 0xFFFF0000);
  image.fill(Qt::transparent);
  rasterCircle(image, 5e21, -5e21, 7.1e21, kRedOnBlack);
  rasterCircle(image, -5e21, 5e21, 1e21, kRedOnBlack);
  EXPECT_EQ(image.pixel(10, 10), 0xFFFF0000);
}

TEST(RasterCircle, CircleIsSymmetricAboutItsCentre) {
  QImage image = emptyImage(40);
  rasterCircle(image, 20, 20, 7.3, kRedOnBlack);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      ASSERT_EQ(image.pixel(x, y), image.pixel(39 - x, y)) << x << "," << y;
      ASSERT_EQ(image.pixel(x, y), image.pixel(y, x)) << x << "," << y;
    }
  }
}

TEST(RasterCircle, CoveredAreaMatchesTheDisc) {
  QImage image = emptyImage(64);
  const double r = 20.25;
  rasterCircle(image, 32, 32, r, {0xFFFF0000, 0xFFFF0000, true, 1.0});
  double alphaSum = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) alphaSum += qAlpha(image.pixel(x, y)) / 255.0;
  }
  // Disc plus the outer half of a one-pixel outline.
  const double expected = std::numbers::pi * (r + 0.5) * (r + 0.5);
  EXPECT_NEAR(alphaSum, expected, expected * 0.01);
}

// Sprites are the exact circle rendered once per radius and sub-pixel position; drawn at a centre
// that is not on the sprite grid, they may differ from the exact circle by at most one step of
// one channel's rounding per pixel, never more.
struct SpriteCase {
  double radius;
  bool filled;
  double penWidth;
};

class SpritesAgainstExactCircles : public testing::TestWithParam<SpriteCase> {
 protected:
  const SpriteCase c = GetParam();
  const CircleStyle style{0xFF102030, 0xFFFFFF00, c.filled, c.penWidth};
  const int steps = c.radius <= 16 ? 8 : 4;  // sprite positions per pixel
  const int size = static_cast<int>(2 * c.radius + 12);
  CircleRasterizer rasterizer;
};

TEST_P(SpritesAgainstExactCircles, DifferAtMostByTheGridOffset) {
  for (int sy = 0; sy < steps; ++sy) {
    for (int sx = 0; sx < steps; ++sx) {
      // Exactly on the sprite grid: the sprite is the exact circle.
      const double cx = size / 2.0 + static_cast<double>(sx) / steps;
      const double cy = size / 2.0 + static_cast<double>(sy) / steps;
      QImage sprite = emptyImage(size);
      QImage exact = emptyImage(size);
      rasterizer.draw(sprite, cx, cy, c.radius, style);
      rasterCircle(exact, cx, cy, c.radius, style);
      ASSERT_EQ(largestChannelStep(sprite, exact), 0)
          << "radius " << c.radius << " at " << sx << "/" << steps << ", " << sy << "/" << steps;
    }
  }
}

TEST_P(SpritesAgainstExactCircles, OffGridCentresDrawTheCircleAtTheNearestGridPosition) {
  std::srand(7);
  for (int trial = 0; trial < 40; ++trial) {
    const double cx = size / 2.0 + std::rand() / double{RAND_MAX} * 2 - 1;
    const double cy = size / 2.0 + std::rand() / double{RAND_MAX} * 2 - 1;
    QImage sprite = emptyImage(size);
    QImage exact = emptyImage(size);
    rasterizer.draw(sprite, cx, cy, c.radius, style);
    rasterCircle(exact, std::nearbyint(cx * steps) / steps, std::nearbyint(cy * steps) / steps,
                 c.radius, style);
    ASSERT_LE(largestChannelStep(sprite, exact), 1)
        << "radius " << c.radius << " at " << cx << ", " << cy;
  }
}

INSTANTIATE_TEST_SUITE_P(RadiiAndStyles, SpritesAgainstExactCircles,
                         testing::Values(SpriteCase{0.3, true, 1.0}, SpriteCase{1.37, true, 1.0},
                                         SpriteCase{2.0, false, 1.0}, SpriteCase{4.5, true, 2.0},
                                         SpriteCase{6.85, true, 1.5}, SpriteCase{16.0, true, 1.0},
                                         SpriteCase{16.5, true, 1.0}, SpriteCase{40.2, false, 1.0},
                                         SpriteCase{64.0, true, 2.0}));

TEST(CircleRasterizer, LargerCirclesThanSpritesAreDrawnExactly) {
  const CircleStyle style{0xFF000000, 0xFF00FF00, true, 1.0};
  CircleRasterizer rasterizer;
  QImage viaRasterizer = emptyImage(200);
  QImage exact = emptyImage(200);
  rasterizer.draw(viaRasterizer, 100.3, 99.8, 80, style);
  rasterCircle(exact, 100.3, 99.8, 80, style);
  EXPECT_EQ(viaRasterizer, exact);
}

TEST(CircleRasterizer, ManyStylesAtOnceKeepEachItsOwnSprites) {
  CircleRasterizer rasterizer;
  QImage image = emptyImage(32);
  QImage exact = emptyImage(32);
  // More styles than sprite sets are kept: the oldest sets are dropped, never mixed up.
  for (int colour = 0; colour < 20; ++colour) {
    const CircleStyle style{0xFF000000, 0xFF000000u | static_cast<QRgb>(colour * 0x0A0B0C), true,
                            1.0};
    image.fill(Qt::transparent);
    exact.fill(Qt::transparent);
    rasterizer.draw(image, 16, 16, 3, style);
    rasterCircle(exact, 16, 16, 3, style);
    ASSERT_EQ(image, exact) << colour;
  }
}

// A batch: small circles over and across the edges of a clip and the image, fills that change,
// centres that are not numbers or lie far out; with rectangles of what changed still noted, or
// with the damage already all of the area, as in a large redraw; or all inside the clip, as most
// circles of a redraw lie, so that whole chunks of them are placed four at a time.
struct BatchCase {
  const char* name;
  double radius;
  int fillRun;      // circles of one fill before the next
  bool oddCentres;  // now and then a centre that is not a number, infinite or far out
  bool damageAll;
  double pen = 1.0;  // device pixels
  int count = 3000;
  bool insideClip = false;
};

class Batches : public testing::TestWithParam<BatchCase> {};

TEST_P(Batches, DrawTheSamePixelsAsEachCircleInOrderAndNoteWhereTheyChanged) {
  const BatchCase& param = GetParam();
  std::mt19937 random(7);
  // Past the 80 x 80 image, or well inside the clip.
  std::uniform_real_distribution<double> place(param.insideClip ? 15.0 : -6.0,
                                               param.insideClip ? 55.0 : 86.0);
  constexpr QRgb kFills[] = {0xFF1020C0, 0xFFE0D020, 0xFF30A040};
  const double odd[] = {std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), -3e9};
  std::vector<platform::BatchCircle> circles;
  for (int k = 0; k < param.count; ++k) {
    double cx = place(random);
    const double cy = place(random);
    if (param.oddCentres && k % 37 == 5) cx = odd[k / 37 % 3];
    circles.push_back({cx, cy, kFills[k / param.fillRun % 3]});
  }
  const QRect clip(7, 11, 61, 50);
  QImage batch = emptyImage(80);
  QImage inOrder = emptyImage(80);
  platform::Damage drawn;
  drawn.setLimit(qint64{1} << 40);
  if (param.damageAll) drawn.addAll();
  CircleRasterizer batchRasterizer;
  CircleRasterizer orderRasterizer;
  CircleStyle batchStyle = kRedOnBlack;
  batchStyle.penWidth = param.pen;
  batchRasterizer.drawBatch(platform::ImageView(batch), circles, param.radius, batchStyle, clip,
                            drawn);
  for (const platform::BatchCircle& circle : circles) {
    CircleStyle style = kRedOnBlack;
    style.fill = circle.fill;
    style.penWidth = param.pen;
    orderRasterizer.draw(platform::ImageView(inOrder), circle.cx, circle.cy, param.radius, style,
                         clip);
  }
  EXPECT_EQ(batch, inOrder);
  // Every pixel that changed lies in a rectangle noted as changed.
  if (drawn.all()) return;
  const QImage before = emptyImage(80);
  int uncovered = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (batch.pixel(x, y) == before.pixel(x, y)) continue;
      const auto& rects = drawn.rects();
      uncovered += std::none_of(rects.begin(), rects.end(),
                                [&](const QRect& rect) { return rect.contains(x, y); });
    }
  }
  EXPECT_EQ(uncovered, 0);
}

INSTANTIATE_TEST_SUITE_P(Circles, Batches,
                         testing::Values(BatchCase{"one_fill", 1.37, 3000, false, true},
                                         BatchCase{"fills_changing", 1.37, 3, false, true},
                                         BatchCase{"odd_centres", 1.37, 5, true, true},
                                         BatchCase{"rectangles_noted", 1.37, 5, true, false},
                                         BatchCase{"wider_sprites", 3.2, 7, true, true},
                                         BatchCase{"twice_the_scale", 2.74, 7, true, true, 2.0},
                                         BatchCase{"past_sixteen_wide", 5.9, 3, false, true, 4.0},
                                         BatchCase{"hidden_pixels_sought", 7.0, 11, true, true},
                                         BatchCase{"whole_chunks_then_a_few", 1.37, 100000, false,
                                                   true, 1.0, 3011, true}),
                         [](const testing::TestParamInfo<BatchCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
