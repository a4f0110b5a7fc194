// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/picturebox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using platform::PictureBox;
using platform::RGB;

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kTransparent = 0x00000000;
// A radius whose path runs through the centre of the pixel 34 to the right of the centre pixel.
constexpr float kRadius = 34.0f / 3.425f;

// A drawing surface like the main one: 689 x 689 pixels with a 2-pixel sunken border, so 685 x 685
// inside, scaled to -100 .. 100 on both axes. One user unit is 3.425 pixels.
class DrawingSurfacePixels : public testing::Test {
 protected:
  void SetUp() override {
    box.place(QRect(0, 0, 689, 689));
    box.canvas().Scale(-100, -100, 100, 100);
    box.canvas().setFillSolid(true);
    box.canvas().setFillColor(RGB(255, 0, 0));
    box.canvas().Cls();
  }
  QRgb at(int x, int y) const { return box.drawing().pixel(x, y); }
  PictureBox box{PictureBox::Border::Sunken3D};
};

TEST_F(DrawingSurfacePixels, CircleIsFilledWithFillColorAndOutlinedInForeColor) {
  box.canvas().Circle(0, 0, kRadius);  // centre pixel 342
  EXPECT_EQ(at(342, 342), kRed);
  EXPECT_EQ(at(342 + 30, 342), kRed);
  EXPECT_LE(qGray(at(342 + 34, 342)), 4) << "outline pixel is black";
  EXPECT_EQ(qAlpha(at(342 + 34, 342)), 255);
  EXPECT_EQ(at(342 + 37, 342), kTransparent);
  EXPECT_EQ(at(342, 342 - 37), kTransparent);
}

TEST_F(DrawingSurfacePixels, YGrowsDownwardInUserUnits) {
  box.canvas().Circle(50, 50, 2);  // user (50, 50) is pixel (513.75, 513.75)
  EXPECT_EQ(at(513, 513), kRed);
  EXPECT_EQ(at(171, 171), kTransparent);
  EXPECT_EQ(at(513, 171), kTransparent);
}

TEST_F(DrawingSurfacePixels, GivenOutlineColourReplacesForeColor) {
  box.canvas().Circle(0, 0, kRadius, RGB(255, 255, 255));
  EXPECT_GE(qGray(at(342 + 34, 342)), 250);
  EXPECT_EQ(qRed(at(342 + 34, 342)), qBlue(at(342 + 34, 342))) << "white, not red";
  EXPECT_EQ(at(342, 342), kRed);
}

TEST_F(DrawingSurfacePixels, TransparentFillStyleLeavesTheInsideEmpty) {
  box.canvas().setFillSolid(false);
  box.canvas().Circle(0, 0, kRadius);
  EXPECT_EQ(at(342, 342), kTransparent);
  EXPECT_EQ(at(342 + 30, 342), kTransparent);
  EXPECT_GE(qAlpha(at(342 + 34, 342)), 250);
}

TEST_F(DrawingSurfacePixels, ZeroNegativeOrNonFiniteSizesDrawNothing) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  box.canvas().Circle(0, 0, 0);
  box.canvas().Circle(0, 0, -5);
  box.canvas().Circle(0, 0, nan);
  box.canvas().Circle(inf, 0, 5);
  box.canvas().Circle(nan, nan, 5);
  box.canvas().Circle(1e30f, -1e30f, 5);
  QImage empty(box.drawing().size(), QImage::Format_ARGB32_Premultiplied);
  empty.fill(Qt::transparent);
  EXPECT_EQ(box.drawing(), empty);
}

TEST_F(DrawingSurfacePixels, InfiniteRadiusCoversTheSurface) {
  box.canvas().Circle(0, 0, std::numeric_limits<float>::infinity());
  EXPECT_EQ(at(0, 0), kRed);
  EXPECT_EQ(at(684, 684), kRed);
}

TEST_F(DrawingSurfacePixels, ClsErasesEverything) {
  box.canvas().Circle(0, 0, 10);
  box.canvas().Cls();
  EXPECT_EQ(at(342, 342), kTransparent);
}

TEST_F(DrawingSurfacePixels, BackColorChangeKeepsTheDrawing) {
  box.canvas().Circle(0, 0, 10);
  box.canvas().setBackColor(RGB(0, 0, 0));
  EXPECT_EQ(at(342, 342), kRed);
  const QImage shown = box.grab().toImage();
  EXPECT_EQ(shown.pixel(2 + 342, 2 + 342), kRed);
  EXPECT_EQ(shown.pixel(2 + 10, 2 + 10), 0xFF000000) << "back colour shows around the drawing";
}

// Round the square: half the one-pixel outline and two pixels of antialiased edge.
TEST_F(DrawingSurfacePixels, VisibleAreaIsTheScaledSquareWithTheReachOfAnOutline) {
  const QRectF area = box.canvas().visibleArea();
  EXPECT_NEAR(area.left(), -100 - 2.5 * 200.0 / 685, 1e-9);
  EXPECT_NEAR(area.top(), -100 - 2.5 * 200.0 / 685, 1e-9);
  EXPECT_NEAR(area.right(), 100 + 2.5 * 200.0 / 685, 1e-9);
}

TEST(PictureBoxMouse, PositionsArriveInUserUnits) {
  // The target pad: 177 x 169 pixels with its border, 173 x 165 inside, 0 .. 100 on both axes.
  PictureBox pad(PictureBox::Border::Sunken3D);
  pad.place(QRect(0, 0, 177, 169));
  pad.canvas().Scale(0, 0, 100, 100);
  QSignalSpy down(&pad, &PictureBox::mouseDown);
  QTest::mousePress(&pad, Qt::RightButton, Qt::ShiftModifier, QPoint(2, 2));
  QTest::mouseRelease(&pad, Qt::RightButton, Qt::ShiftModifier, QPoint(2, 2));
  ASSERT_EQ(down.size(), 1);
  EXPECT_EQ(down[0][0].toInt(), 2);
  EXPECT_EQ(down[0][1].toInt(), 1);
  EXPECT_FLOAT_EQ(down[0][2].toFloat(), 0.0f);
  EXPECT_FLOAT_EQ(down[0][3].toFloat(), 0.0f);
  QTest::mouseClick(&pad, Qt::LeftButton, {}, QPoint(2 + 173 / 2, 2 + 165 / 2));
  ASSERT_EQ(down.size(), 2);
  EXPECT_NEAR(down[1][2].toFloat(), 50.0f, 0.6f);
  EXPECT_NEAR(down[1][3].toFloat(), 50.0f, 0.6f);
}

// A swatch acts as a push button: Space clicks once, when let go, however long it repeats;
// Enter clicks when pressed, and not again while it repeats.
TEST(PictureBoxKeys, SpaceClicksOnReleaseAndEnterOnPressEachOnce) {
  PictureBox swatch(PictureBox::Border::FlatLine);
  swatch.setPressable(true);
  QSignalSpy clicks(&swatch, &PictureBox::clicked);
  QTest::sendKeyEvent(QTest::Press, &swatch, Qt::Key_Space, ' ', {});
  for (int k = 0; k < 3; ++k) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, {}, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(&swatch, &repeat);
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Space, {}, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(&swatch, &repeatUp);
  }
  EXPECT_EQ(clicks.size(), 0) << "clicked before Space was let go";
  QTest::sendKeyEvent(QTest::Release, &swatch, Qt::Key_Space, ' ', {});
  EXPECT_EQ(clicks.size(), 1);
  QTest::sendKeyEvent(QTest::Press, &swatch, Qt::Key_Return, '\r', {});
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, {}, QStringLiteral("\r"), true);
  QCoreApplication::sendEvent(&swatch, &repeat);
  EXPECT_EQ(clicks.size(), 2);
}

// The focus mark, the highlight colour in the frame's inner line, shows where Tab put the
// focus, not where a click did.
TEST(PictureBoxFocus, MarkedAfterTabButNotAfterAClick) {
  QWidget window;
  window.resize(300, 200);
  auto* before = new QWidget(&window);
  before->setFocusPolicy(Qt::StrongFocus);
  before->setGeometry(0, 0, 20, 20);
  auto* box = new PictureBox(PictureBox::Border::Sunken3D, &window);
  box->place(QRect(40, 40, 100, 100));
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const auto marked = [box] {
    const QRgb line = box->grab().toImage().pixel(1, 50);
    return qBlue(line) > qRed(line) + 60 && qGreen(line) > 100;
  };
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(50, 50));
  ASSERT_TRUE(box->hasFocus());
  EXPECT_FALSE(marked()) << "a mark after a click";
  before->setFocus(Qt::MouseFocusReason);
  QTest::keyClick(before, Qt::Key_Tab);
  ASSERT_TRUE(box->hasFocus());
  EXPECT_TRUE(marked()) << "no mark after Tab";
}

TEST(PictureBoxMouse, DefaultScaleIsTwips) {
  PictureBox box(PictureBox::Border::FlatLine);
  box.place(QRect(0, 0, 26, 26));
  const QPointF user = box.toUser(QPointF(11, 6));
  EXPECT_DOUBLE_EQ(user.x(), 150);
  EXPECT_DOUBLE_EQ(user.y(), 75);
}

}  // namespace
