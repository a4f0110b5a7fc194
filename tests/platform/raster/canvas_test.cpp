// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/canvas.h"
#include "support/main_surface.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

using platform::Canvas;
using platform::RGB;

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kWhite = 0xFFFFFFFF;

// The main drawing area: 685 x 685 device pixels scaled -100 .. 100 on both axes.
class CanvasTest : public testing::Test {
 protected:
  void SetUp() override { canvas.compose(); }
  qint64 area(const std::vector<QRect>& rects) {
    qint64 sum = 0;
    for (const QRect& r : rects) sum += qint64{r.width()} * r.height();
    return sum;
  }
  Canvas canvas = mainSurface(RGB(255, 0, 0));
};

TEST_F(CanvasTest, ScreenShowsTheDrawingOverTheBackColourOnceComposed) {
  canvas.Circle(0, 0, 5);
  EXPECT_EQ(canvas.screen().pixel(342, 342), kWhite) << "not composed yet";
  canvas.compose();
  EXPECT_EQ(canvas.screen().pixel(342, 342), kRed);
  EXPECT_EQ(canvas.screen().pixel(10, 10), kWhite);
}

TEST_F(CanvasTest, ChangedRectanglesCoverEveryChangedPixelAndLittleElse) {
  const QImage before = canvas.screen().copy();
  canvas.Circle(-50, 20, 1);
  canvas.Circle(70, -80, 2);
  const std::vector<QRect> changed = canvas.compose();
  ASSERT_FALSE(changed.empty());
  QRegion region;
  for (const QRect& r : changed) region += r;
  const QImage& after = canvas.screen();
  for (int y = 0; y < after.height(); ++y) {
    for (int x = 0; x < after.width(); ++x) {
      if (after.pixel(x, y) != before.pixel(x, y)) {
        ASSERT_TRUE(region.contains(QPoint(x, y))) << x << "," << y;
      }
    }
  }
  // Radius 2 units is under 7 pixels: at most 3 x 3 tiles; radius 1, at most 2 x 2.
  EXPECT_LE(area(changed), (9 + 4) * platform::ScreenImage::kTile * platform::ScreenImage::kTile);
  EXPECT_TRUE(canvas.compose().empty()) << "nothing changed since";
}

// However many redraws were composed before, the redraw of a small pattern changes a few tiles,
// not the whole surface: what was counted for earlier composes is not counted again.
TEST_F(CanvasTest, AfterManyComposedRedrawsASmallRedrawIsStillAFewTiles) {
  const auto redraw = [this](int step) {
    canvas.Cls();
    for (int k = 0; k < 5; ++k) canvas.Circle(-80 + 30 * k + step % 7, 10 - step % 5, 1.5f);
    return canvas.compose();
  };
  // An animation of a few thousand steps.
  for (int step = 0; step < 3000; ++step) redraw(step);
  const std::vector<QRect> changed = redraw(3000);
  ASSERT_FALSE(changed.empty());
  // Five circles cleared and five drawn, each of about 12 pixels within 3 x 3 tiles.
  EXPECT_LE(area(changed), 10 * 9 * platform::ScreenImage::kTile * platform::ScreenImage::kTile);
}

TEST_F(CanvasTest, ClsRestoresTheBackColourWhereDrawn) {
  canvas.Circle(10, 10, 3);
  canvas.compose();
  canvas.Cls();
  const std::vector<QRect> changed = canvas.compose();
  EXPECT_FALSE(changed.empty());
  EXPECT_EQ(canvas.screen().pixel(376, 376), kWhite);
  EXPECT_EQ(canvas.drawing().pixel(376, 376), 0u);
}

TEST_F(CanvasTest, BackColourChangeKeepsTheDrawingAndRecomposesEverything) {
  canvas.Circle(0, 0, 5);
  canvas.compose();
  canvas.setBackColor(RGB(0, 0, 128));
  const std::vector<QRect> changed = canvas.compose();
  EXPECT_EQ(area(changed), 685 * 685);
  EXPECT_EQ(canvas.screen().pixel(342, 342), kRed);
  EXPECT_EQ(canvas.screen().pixel(5, 5), 0xFF000080u);
}

TEST_F(CanvasTest, AntialiasedEdgesBlendWithTheBackColour) {
  canvas.setBackColor(RGB(0, 0, 0));
  canvas.Circle(0, 0, 20);
  canvas.compose();
  // Find a partly covered pixel on the row through the centre.
  const QImage& drawing = canvas.drawing();
  for (int x = 342; x < 685; ++x) {
    const QRgb d = drawing.pixel(x, 342);
    if (qAlpha(d) > 0 && qAlpha(d) < 255) {
      const QRgb s = canvas.screen().pixel(x, 342);
      EXPECT_EQ(qAlpha(s), 255);
      EXPECT_EQ(qRed(s), qRed(d)) << "over black the premultiplied colour shows as it is";
      return;
    }
  }
  FAIL() << "no antialiased edge pixel found";
}

TEST_F(CanvasTest, ResizingKeepsTheDrawingScaled) {
  canvas.Circle(0, 0, 20);
  canvas.resize(QSize(1370, 1370), 2.0);
  EXPECT_EQ(canvas.drawing().pixel(685, 685), kRed);
  canvas.compose();
  EXPECT_EQ(canvas.screen().pixel(685, 685), kRed);
  EXPECT_EQ(canvas.screen().pixel(20, 20), kWhite);
}

// The screen image is the drawing over the back colour, pixel for pixel, however many redraws
// came between two composes (past a few thousand cleared rectangles, everything is composed).
TEST_F(CanvasTest, ScreenMatchesTheDrawingAfterManyUncomposedRedraws) {
  for (const int redraws : {1, 3, 40}) {
    for (int r = 0; r < redraws; ++r) {
      canvas.Cls();
      for (int k = 0; k < 300; ++k) canvas.Circle(-90 + (k * 7 + r) % 180, -90 + k % 180, 1.5f);
    }
    canvas.compose();
    const QImage& drawing = canvas.drawing();
    for (int y = 0; y < 685; ++y) {
      for (int x = 0; x < 685; ++x) {
        const QRgb d = drawing.pixel(x, y);
        const QRgb expected = qAlpha(d) == 0 ? kWhite : (qAlpha(d) == 255 ? d : 0);
        if (expected == 0) continue;  // antialiased rims: checked elsewhere
        ASSERT_EQ(canvas.screen().pixel(x, y), expected) << x << "," << y << " after " << redraws;
      }
    }
  }
}

TEST(CanvasScale, WithoutAScaleUserUnitsAreTwipsOfLogicalPixels) {
  Canvas canvas;
  canvas.resize(QSize(48, 48), 2.0);  // 24 logical pixels
  const QPointF user = canvas.toUser(QPointF(22, 12));
  EXPECT_DOUBLE_EQ(user.x(), 165);
  EXPECT_DOUBLE_EQ(user.y(), 90);
}

}  // namespace
