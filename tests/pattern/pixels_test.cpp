// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas's fast drawing against QPainter's antialiased drawEllipse of every circle.
#include "pattern/renderer.h"
#include "raster/canvas.h"
#include "support/main_surface.h"
#include "support/reference_drawing.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace {

struct PixelCase {
  const char* name;
  pattern::ParameterSet parameters;
  friend void PrintTo(const PixelCase& c, std::ostream* os) { *os << c.name; }
};

QImage onWhite(const QImage& drawing) {
  QImage shown(drawing.size(), QImage::Format_RGB32);
  shown.fill(Qt::white);
  QPainter painter(&shown);
  painter.drawImage(0, 0, drawing);
  return shown;
}

class MatchesPlainQPainter : public testing::TestWithParam<PixelCase> {};

TEST_P(MatchesPlainQPainter, ExceptForAntialiasing) {
  platform::Canvas box = mainSurface();
  pattern::drawPattern(GetParam().parameters, box);
  const QImage& drawing = box.drawing();

  QImage reference(685, 685, QImage::Format_ARGB32_Premultiplied);
  reference.fill(Qt::transparent);
  drawReferencePattern(GetParam().parameters, reference);

  const QImage a = onWhite(drawing);
  const QImage b = onWhite(reference);
  int differing = 0;
  int drawn = 0;
  int clearlyOff = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      drawn += q != qRgb(255, 255, 255);
      const int worst = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q))});
      differing += worst > 64;
      if (worst > 128) ++clearlyOff;
    }
  }
  // QPainter flattens each circle into a polygon whose edges cut up to a third of a pixel inside
  // the true circle, so thin outlines differ by up to a quarter of the range in places; a circle
  // misplaced by one pixel makes tens of percent of the drawn pixels differ by more than half.
  EXPECT_LE(clearlyOff, drawn / 100)
      << clearlyOff << " of " << drawn << " drawn pixels differ by more than half";
  EXPECT_LE(differing, a.width() * a.height() * 3 / 100)
      << differing << " pixels differ by more than a quarter";
}

INSTANTIATE_TEST_SUITE_P(Parameters, MatchesPlainQPainter,
                         testing::Values(PixelCase{"start values", {600, 2, 20, 0, 137.5}},
                                         PixelCase{"size 20", {600, 20, 20, 0, 137.5}},
                                         PixelCase{"fractional count", {7.5, 10, 300, 0, 137.5}},
                                         PixelCase{"angle 0", {600, 4, 20, 0, 0}},
                                         PixelCase{"radius step 0", {600, 30, 0, 0, 137.5}},
                                         PixelCase{"negative size", {600, -5, 20, 0, 137.5}},
                                         PixelCase{"large circles", {60, 200, 50, 0, 222.5}}),
                         [](const testing::TestParamInfo<PixelCase>& param) {
                           std::string name = param.param.name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace

namespace {

// Found by fuzzing: circles of radius 4e29 units far out from the centre overflowed the pixel
// column arithmetic. The first covering circle hides everything; nothing after it can show.
TEST(HugeCircles, CoverTheSurfaceWithoutOverflow) {
  platform::Canvas box = mainSurface();
  pattern::drawPattern({3e307, 2e30, 20233, 0, 0}, box);
  const QImage& drawing = box.drawing();
  EXPECT_EQ(drawing.pixel(0, 0), 0xFFFF0000);
  EXPECT_EQ(drawing.pixel(684, 684), 0xFFFF0000);
}

}  // namespace

namespace {

// Every yellow circle of row 0 = 2000, row 2 = 1, row 1 = 500 covers the centre, so the centre
// is yellow; a drawing cut short left it red.
TEST(ExactPicture, CentreShowsTheLastBandThatCoversIt) {
  platform::Canvas canvas = mainSurface();
  pattern::drawPattern({6000, 500, 1, 0, 137.5}, canvas);
  EXPECT_EQ(canvas.drawing().pixel(342, 342), 0xFFFFFF00);
}

// Row 0 = 2000000, row 2 = 0.001: every point lies within 60 units; the yellow band fills the
// ring from about 49 to 60 units out, which a drawing cut short left empty.
TEST(ExactPicture, DenseSixMillionFillsItsOuterRing) {
  platform::Canvas canvas = mainSurface();
  pattern::drawPattern({6000000, 2, 0.001, 0, 137.5}, canvas);
  for (double units = 50; units <= 59; units += 1) {
    for (double angle = 0; angle < 6.28; angle += 0.5) {
      const int x = static_cast<int>(342.5 + units * 3.425 * std::cos(angle));
      const int y = static_cast<int>(342.5 + units * 3.425 * std::sin(angle));
      ASSERT_EQ(qAlpha(canvas.drawing().pixel(x, y)), 255) << units << " units at " << angle;
    }
  }
}

// Drawing the same spot more than 256 times gives what 256 times gives.
TEST(ExactPicture, RepeatsOfOneSpotStopChangingItAfter256) {
  for (const platform::OleColor fill : {0x0000FFFFu, 0x00FF0000u, 0x000000FFu}) {
    platform::Canvas few = mainSurface();
    platform::Canvas many = mainSurface();
    few.setFillColor(fill);
    many.setFillColor(fill);
    for (int k = 0; k < 256; ++k) few.Circle(0.3f, -0.2f, 0.4f);
    for (int k = 0; k < 1000; ++k) many.Circle(0.3f, -0.2f, 0.4f);
    EXPECT_EQ(few.drawing(), many.drawing());
  }
}

}  // namespace
