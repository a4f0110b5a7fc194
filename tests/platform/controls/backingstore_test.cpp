// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/backingstore.h"
#include "controls/picturebox.h"

#include <gtest/gtest.h>

using platform::PictureBox;
using platform::RGB;

namespace {

class RenderedInto : public testing::TestWithParam<QImage::Format> {};

// Painted into an image of any format, the surface shows what its canvas holds, in the right
// colours and places: straight copies where the words match, QPainter's conversion elsewhere.
TEST_P(RenderedInto, ShowsTheCanvasPixelForPixel) {
  PictureBox box(PictureBox::Border::Sunken3D);
  box.place(QRect(0, 0, 89, 69));
  platform::Canvas& canvas = box.canvas();
  canvas.Scale(-100, -100, 100, 100);
  canvas.setFillSolid(true);
  canvas.setBackColor(RGB(0, 0, 128));
  canvas.setFillColor(RGB(255, 160, 0));
  canvas.Circle(-40, 10, 30);
  canvas.setFillColor(RGB(0, 200, 60));
  canvas.Circle(50, -50, 20);
  QImage target(box.size(), GetParam());
  target.fill(Qt::white);
  box.render(&target, QPoint(), QRegion(), QWidget::DrawChildren);
  // The screen image, as the target's format holds it.
  const QImage expected = canvas.screen().convertToFormat(GetParam());
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      ASSERT_EQ(target.pixelColor(x + 2, y + 2), expected.pixelColor(x, y)) << x << ", " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, RenderedInto,
                         testing::Values(QImage::Format_RGB32, QImage::Format_ARGB32,
                                         QImage::Format_ARGB32_Premultiplied,
                                         QImage::Format_RGBX8888, QImage::Format_RGBA8888,
                                         QImage::Format_BGR30, QImage::Format_RGB16));

struct CopyCase {
  QPoint at;   // where the part goes on the target
  QRect from;  // the part of the source
};

class CopiedPart : public testing::TestWithParam<CopyCase> {};

// Each pixel of the part lands where it belongs on the target, also where the part starts above
// or left of the target's edge and only its lower right lies on the target; the rest of the
// target stays as it was.
TEST_P(CopiedPart, LandsPixelForPixelWhereItLiesOnTheTarget) {
  QImage source(40, 30, QImage::Format_RGB32);
  for (int y = 0; y < source.height(); ++y) {
    for (int x = 0; x < source.width(); ++x) source.setPixel(x, y, qRgb(x * 6, y * 8, 90));
  }
  QImage target(20, 16, QImage::Format_RGB32);
  target.fill(Qt::white);
  const auto [at, from] = GetParam();
  ASSERT_TRUE(platform::copyOpaquePixels(target, at, source, from));
  for (int y = 0; y < target.height(); ++y) {
    for (int x = 0; x < target.width(); ++x) {
      const int partX = x - at.x();
      const int partY = y - at.y();
      const bool onPart = partX >= 0 && partX < from.width() && partY >= 0 && partY < from.height();
      const QRgb expected =
          onPart ? source.pixel(from.x() + partX, from.y() + partY) : qRgb(255, 255, 255);
      ASSERT_EQ(target.pixel(x, y), expected) << x << ", " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Places, CopiedPart,
                         testing::Values(CopyCase{{3, 2}, {5, 4, 10, 8}},
                                         CopyCase{{-3, 0}, {5, 4, 10, 8}},
                                         CopyCase{{0, -2}, {5, 4, 10, 8}},
                                         CopyCase{{-4, -5}, {7, 9, 20, 18}},
                                         CopyCase{{12, 10}, {0, 0, 30, 20}}));

}  // namespace
