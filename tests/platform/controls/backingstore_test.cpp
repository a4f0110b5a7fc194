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

}  // namespace
