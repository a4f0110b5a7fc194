// SPDX-License-Identifier: GPL-3.0-or-later
// Animation, target pad, sketching, background palette, clearing and quitting.
#include "support/error_recorder.h"
#include "support/turn_script.h"
#include "support/watchdog.h"
#include "window/form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>

using platform::RuntimeError;
using window::Form1;

namespace {

class Animation : public testing::Test {
 protected:
  void SetUp() override {
    // Speeds above 100 have no idle wait, so turns follow one another at once.
    form.txtParameter[3]->assignText("400");
  }
  int angle() const { return form.hscParameter[4]->value(); }
  void stopAt(int doEvents, std::map<int, std::function<void()>> more = {}) {
    more[doEvents] = [this] { form.Command4->click(); };
    TurnScript script(std::move(more));
    form.Command3->click();
  }

  ErrorRecorder errors;
  Form1 form;
};

TEST_F(Animation, StopEndsTheRunAfterOneMoreStep) {
  for (int turns : {0, 1, 3}) {
    const int start = angle();
    stopAt(turns + 1);
    EXPECT_EQ(angle(), start + turns + 1) << turns << " turns";
    EXPECT_EQ(form.txtParameter[4]->text(), platform::Str(static_cast<std::int16_t>(angle())));
  }
  EXPECT_TRUE(errors.numbers.empty());
}

TEST_F(Animation, EachStepRedrawsOnceAtTheNewAngle) {
  const int redraws = form.redrawCount();
  stopAt(3);
  EXPECT_EQ(form.redrawCount() - redraws, 3);
  EXPECT_EQ(form.parameters.DivergenceAngle, 137.53);
}

TEST_F(Animation, OneStopEndsNestedRunsEachAddingOneStep) {
  // Turn 1 steps; in turn 2's DoEvents a second run starts and steps twice; in its third
  // DoEvents "stop" comes. The inner run finishes its turn, then the outer one its own.
  const Watchdog watchdog(form, 10);
  TurnScript script(
      {{2, [this] { form.Command3->click(); }}, {5, [this] { form.Command4->click(); }}});
  form.Command3->click();
  EXPECT_EQ(angle(), 13750 + 5);
  EXPECT_EQ(form.StopRequested, -1);
}

class AnimationWrap : public Animation, public testing::WithParamInterface<int> {};

TEST_P(AnimationWrap, PastMaxMinusFourStepsThenWrapsToZeroInTheSameTurn) {
  form.hscParameter[4]->assignValue(GetParam());
  const int redraws = form.redrawCount();
  stopAt(1);
  EXPECT_EQ(angle(), 0);
  EXPECT_EQ(form.redrawCount() - redraws, 2);
  EXPECT_EQ(form.parameters.DivergenceAngle, 0);
}

INSTANTIATE_TEST_SUITE_P(BarValues, AnimationWrap, testing::Values(17996, 17997, 17998, 17999));

TEST_F(Animation, JustBelowTheWrapBoundStepsWithoutWrapping) {
  form.hscParameter[4]->assignValue(17995);
  const int redraws = form.redrawCount();
  stopAt(1);
  EXPECT_EQ(angle(), 17996);
  EXPECT_EQ(form.redrawCount() - redraws, 1);
}

TEST_F(Animation, AfterAWrapTheNextTurnShowsOneHundredthOfADegree) {
  form.hscParameter[4]->assignValue(17999);
  stopAt(2);
  EXPECT_EQ(angle(), 1);
  EXPECT_EQ(form.parameters.DivergenceAngle, 0.01);
}

TEST_F(Animation, RunStartingAtMaxStepsRoundToZero) {
  form.hscParameter[4]->assignValue(18000);
  const int redraws = form.redrawCount();
  stopAt(1);
  EXPECT_EQ(angle(), 0);
  EXPECT_EQ(form.redrawCount() - redraws, 1);
  EXPECT_TRUE(errors.numbers.empty());
}

TEST_F(Animation, HugeSpeedRunsWithoutError) {
  form.txtParameter[3]->assignText("30000");
  stopAt(3);
  EXPECT_EQ(angle(), 13753);
  EXPECT_TRUE(errors.numbers.empty());
}

TEST_F(Animation, StopWithNoRunChangesNothingAndTheNextRunClearsIt) {
  const int redraws = form.redrawCount();
  form.Command4->click();
  form.Command4->click();
  EXPECT_EQ(form.redrawCount(), redraws);
  EXPECT_EQ(form.StopRequested, -1);
  stopAt(3);
  EXPECT_EQ(angle(), 13753) << "the run did not end after its first turn";
}

TEST_F(Animation, ClosingTheWindowEndsTheRunWithoutAnotherStep) {
  TurnScript script({{3, [this] { form.close(); }}});
  form.Command3->click();
  EXPECT_EQ(angle(), 13752);
  EXPECT_TRUE(form.isEnding());
}

TEST_F(Animation, BeendenDuringARunEndsItAtOnce) {
  TurnScript script({{2, [this] { form.Command5->click(); }}});
  form.Command3->click();
  EXPECT_EQ(angle(), 13751);
  EXPECT_TRUE(form.isEnding());
}

TEST_F(Animation, ErrorInAStepsRedrawEndsTheRunAndIsShown) {
  form.txtParameter[0]->setText("1e308");  // as if typed: shown once, PointTotal unchanged
  ASSERT_EQ(errors.numbers.size(), 1u);
  TurnScript script({{5, [this] { form.Command4->click(); }}});
  form.Command3->click();
  EXPECT_EQ(errors.numbers.size(), 2u);
  EXPECT_EQ(angle(), 13751) << "the first step's redraw failed and ended the run";
  EXPECT_EQ(form.parameters.PointTotal, 600);
}

TEST_F(Animation, WindowStaysUsableDuringARun) {
  TurnScript script(
      {{2, [this] { form.hscParameter[0]->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
       {3, [this] { form.Picture2[2]->clicked(); }},
       {4, [this] { form.Command4->click(); }}});
  form.Command3->click();
  EXPECT_EQ(form.parameters.PointTotal, 603);
  EXPECT_EQ(form.Picture1->BackColor(), 0x000000u);
  EXPECT_EQ(angle(), 13754);
}

struct DelayCase {
  double speed;
  std::int64_t passes;
  friend void PrintTo(const DelayCase& c, std::ostream* os) { *os << "speed " << c.speed; }
};

class DelayBySpeed : public testing::TestWithParam<DelayCase> {};

TEST_P(DelayBySpeed, CountsEmptyPasses) {
  EXPECT_EQ(window::delayPasses(GetParam().speed), GetParam().passes) << GetParam().speed;
}

INSTANTIATE_TEST_SUITE_P(Speeds, DelayBySpeed,
                         testing::Values(DelayCase{0, 10000001}, DelayCase{1, 9900001},
                                         DelayCase{50, 5000001}, DelayCase{100, 1},
                                         DelayCase{101, 0}, DelayCase{400, 0}, DelayCase{30000, 0},
                                         DelayCase{1e308, 0}, DelayCase{99.999995, 2},
                                         DelayCase{-21374.83647, 2147483648},
                                         DelayCase{-30000, 2147483648},
                                         DelayCase{-1e308, 2147483648}));

// --- Target pad ----------------------------------------------------------------------------

class TargetPad : public testing::Test {
 protected:
  QString row(int r) const { return form.txtParameter[r]->text(); }
  ErrorRecorder errors;
  Form1 form;
};

TEST_F(TargetPad, PressAtTheMiddleRoundsHalvesToEven) {
  form.picZiel_MouseDown(1, 0, 50, 50);
  EXPECT_EQ(row(1), " 26");
  EXPECT_EQ(row(2), " 90");
  EXPECT_EQ(form.parameters.PointSize, 26);
  EXPECT_EQ(form.parameters.RadiusStep, 90);
  EXPECT_EQ(form.Text1->text(), "mousedown");
}

TEST_F(TargetPad, PressAtTheTopLeftCornerGivesTheMinimums) {
  form.picZiel_MouseDown(1, 0, 50, 50);  // row 2's bar starts at its minimum already
  form.picZiel_MouseDown(1, 0, 0, 0);
  EXPECT_EQ(row(1), " 1");
  EXPECT_EQ(row(2), " 1");
}

TEST_F(TargetPad, PressCostsOneRedrawPerChangedRow) {
  int redraws = form.redrawCount();
  form.picZiel_MouseDown(1, 0, 50, 50);
  EXPECT_EQ(form.redrawCount() - redraws, 2);
  redraws = form.redrawCount();
  form.picZiel_MouseDown(1, 0, 50, 50);
  EXPECT_EQ(form.redrawCount() - redraws, 0) << "the same values redraw nothing";
}

TEST_F(TargetPad, MarkerIsADarkBlueDiscOnTheClearedPad) {
  form.picZiel_MouseDown(1, 0, 20, 20);
  form.picZiel_MouseDown(1, 0, 50, 50);
  const QImage& pad = form.picZiel->drawing();
  EXPECT_EQ(pad.pixel(173 / 2, 165 / 2), qRgb(0, 0, 192));
  EXPECT_EQ(qAlpha(pad.pixel(173 / 5, 165 / 5)), 0) << "the earlier marker is gone";
}

struct DragCase {
  float x, y;          // pad units
  const char* status;  // what Text1 reads
  const char* size;    // row 1: 49 * x / 100 + 1, rounded
  const char* step;    // row 2: 179 * y / 100 + 1, rounded
  friend void PrintTo(const DragCase& c, std::ostream* os) { *os << c.status; }
};

class TargetPadDrag : public TargetPad, public testing::WithParamInterface<DragCase> {};

// A drag inside the pad reports the pointer as the shortest texts of its two singles, sets both
// rows and moves the marker, a disc of radius 5 pad units, under the pointer.
TEST_P(TargetPadDrag, ReportsCoordinatesSetsBothRowsAndMovesTheMarker) {
  const DragCase& c = GetParam();
  form.picZiel_MouseDown(1, 0, 90, 90);
  form.picZiel_MouseMove(1, 0, c.x, c.y);
  EXPECT_EQ(form.Text1->text().toStdString(), c.status);
  EXPECT_EQ(row(1).toStdString(), c.size);
  EXPECT_EQ(row(2).toStdString(), c.step);
  // 1.73 pixels a unit across, 1.65 down: the rim lies 8.65 pixels from the centre across.
  const QImage& pad = form.picZiel->drawing();
  const int cx = static_cast<int>(c.x * 1.73f);
  const int cy = static_cast<int>(c.y * 1.65f);
  EXPECT_EQ(pad.pixel(cx + 7, cy), qRgb(0, 0, 192)) << "the marker is smaller";
  EXPECT_EQ(qAlpha(pad.pixel(cx + 11, cy)), 0) << "the marker is larger";
  EXPECT_EQ(qAlpha(pad.pixel(static_cast<int>(90 * 1.73), static_cast<int>(90 * 1.65))), 0)
      << "the marker of the press stays";
}

INSTANTIATE_TEST_SUITE_P(
    Moves, TargetPadDrag,
    testing::Values(
        DragCase{12.5f, 40, " 12.5 40", " 7",
                 " 73"},  // 7.125, 72.6
                          // 24.86 as a single is 24.8600006103515625: its shortest text is 24.86.
        DragCase{24.86f, 60, " 24.86 60", " 13", " 108"},  // 13.18, 108.4
        DragCase{50, 50, " 50 50", " 26", " 90"}));        // 25.5 and 90.5: even

TEST_F(TargetPad, MovesOnTheEdgeOrOutsideDoNothing) {
  form.picZiel_MouseDown(1, 0, 50, 50);
  const QImage marker = form.picZiel->drawing();
  for (auto [x, y] : {std::pair{0.f, 50.f},
                      {100.f, 50.f},
                      {50.f, 0.f},
                      {50.f, 100.f},
                      {-5.f, 50.f},
                      {150.f, 150.f}}) {
    form.picZiel_MouseMove(1, 0, x, y);
    EXPECT_EQ(form.Text1->text(), "mousedown") << x << "," << y;
    EXPECT_EQ(row(1), " 26");
    EXPECT_EQ(row(2), " 90");
  }
  EXPECT_EQ(form.picZiel->drawing(), marker);
}

TEST_F(TargetPad, MovesWithoutAPressOrAfterTheReleaseDoNothing) {
  form.picZiel_MouseMove(0, 0, 30, 30);
  EXPECT_EQ(form.Text1->text(), "Text1");
  EXPECT_EQ(row(1), "2");
  form.picZiel_MouseDown(1, 0, 50, 50);
  form.picZiel_MouseUp(1, 0, 50, 50);
  const QImage marker = form.picZiel->drawing();
  form.picZiel_MouseMove(0, 0, 30, 30);
  EXPECT_EQ(form.Text1->text(), "mouseup");
  EXPECT_EQ(row(1), " 26");
  EXPECT_EQ(form.picZiel->drawing(), marker) << "the marker stays after the release";
}

TEST_F(TargetPad, RightButtonPressThroughTheWindowSystemActsLikeTheLeft) {
  // Pixel (87, 83) of the 173 x 165 inner area is (50.29, 50.30) in pad units.
  QTest::mousePress(form.picZiel, Qt::RightButton, {}, QPoint(2 + 87, 2 + 83));
  EXPECT_EQ(form.Text1->text(), "mousedown");
  EXPECT_EQ(row(1), " 26");
  EXPECT_EQ(row(2), " 91");
  // Pixel (43, 41) is (24.86, 24.85).
  QTest::mouseMove(form.picZiel, QPoint(2 + 43, 2 + 41));
  EXPECT_TRUE(form.Text1->text().startsWith(" 24.8")) << form.Text1->text().toStdString();
  EXPECT_EQ(row(1), " 13");
  EXPECT_EQ(row(2), " 45");
  QTest::mouseRelease(form.picZiel, Qt::RightButton, {}, QPoint(2 + 43, 2 + 41));
  EXPECT_EQ(form.Text1->text(), "mouseup");
}

TEST_F(TargetPad, OverwritesATypedNumber) {
  QTest::keyClicks(form.txtParameter[1], "5");
  EXPECT_EQ(row(1), "25");
  form.picZiel_MouseDown(1, 0, 0, 50);
  EXPECT_EQ(row(1), " 1");
}

// --- Sketching, background, clearing -------------------------------------------------------

class Sketching : public testing::Test {
 protected:
  // The drawing surface's pixel at user coordinates (x, y).
  QRgb at(float x, float y) const {
    const QPointF px((x + 100) * 685 / 200, (y + 100) * 685 / 200);
    return form.Picture1->drawing().pixel(px.toPoint());
  }
  ErrorRecorder errors;
  Form1 form;
};

TEST_F(Sketching, NoDotBeforeAPressOrAfterTheRelease) {
  form.Command2_Click();
  const QImage empty = form.Picture1->drawing();
  form.Picture1_MouseMove(0, 0, 10, 10);
  EXPECT_EQ(form.Picture1->drawing(), empty);
  EXPECT_EQ(form.Text1->text(), "Text1");
  form.Picture1_MouseDown(1, 0, 10, 10);
  EXPECT_EQ(form.Picture1->drawing(), empty) << "a press alone draws nothing";
  form.Picture1_MouseUp(1, 0, 10, 10);
  form.Picture1_MouseMove(0, 0, 10, 10);
  EXPECT_EQ(form.Picture1->drawing(), empty);
}

TEST_F(Sketching, DotsHaveAWhiteOutlineAndTheCurrentFillColour) {
  form.Command2_Click();
  form.Picture1_MouseDown(2, 0, 0, 0);
  form.Picture1_MouseMove(2, 0, 50, -50);
  EXPECT_EQ(form.Text1->text(), "zeichnen");
  EXPECT_EQ(at(50, -50), qRgb(255, 255, 0)) << "yellow: the last band's colour";
  // On the rim the outline mixes with a little yellow fill; only a white outline brings blue.
  const QRgb rim = at(51, -50);
  EXPECT_GT(qAlpha(rim), 100);
  EXPECT_GT(qBlue(rim), 100);
  EXPECT_EQ(qRed(rim), qAlpha(rim));
  EXPECT_EQ(qGreen(rim), qAlpha(rim));
}

TEST_F(Sketching, MovesOutsideTheSurfaceStillDrawAndAreClipped) {
  form.Picture1_MouseDown(1, 0, 0, 0);
  form.Picture1_MouseMove(1, 0, 250, -300);
  form.Picture1_MouseMove(1, 0, 100.5f, 0);
  EXPECT_GT(qAlpha(form.Picture1->drawing().pixel(684, 342)), 0);
  EXPECT_TRUE(errors.numbers.empty());
}

TEST_F(Sketching, SketchVanishesAtTheNextDrawing) {
  form.Picture1_MouseDown(1, 0, 0, 0);
  form.Picture1_MouseMove(1, 0, -90, 90);
  ASSERT_GT(qAlpha(at(-90, 90)), 0);
  form.Command1_Click();
  EXPECT_EQ(qAlpha(at(-90, 90)), 0);
}

TEST_F(Sketching, SwatchSetsTheBackColourWithoutRedrawingAndKeepsTheDrawing) {
  const QImage drawing = form.Picture1->drawing();
  const int redraws = form.redrawCount();
  QTest::mouseClick(form.Picture2[1], Qt::LeftButton);
  EXPECT_EQ(form.Picture1->BackColor(), 0x00800000u);
  EXPECT_EQ(form.redrawCount(), redraws);
  EXPECT_EQ(form.Picture1->drawing(), drawing);
  EXPECT_EQ(form.Picture2[1]->BackColor(), 0x00800000u) << "the swatch itself is unchanged";
}

TEST_F(Sketching, LoeschenThenZeigenRedrawsOnTheChosenColour) {
  form.Picture2_Click(2);
  form.Command2->click();
  EXPECT_EQ(qAlpha(at(0, 0)), 0);
  const QImage shown = form.Picture1->grab().toImage();
  EXPECT_EQ(shown.pixel(2 + 342, 2 + 342), qRgb(0, 0, 0));
  form.Command1->click();
  EXPECT_GT(qAlpha(at(0, 0)), 0);
  EXPECT_EQ(form.Picture1->BackColor(), 0u);
}

}  // namespace

namespace {

// A redraw repaints only where circles were cleared or drawn, never the whole surface and never
// its frame.
class Repaint : public testing::Test {
 protected:
  void SetUp() override {
    form.resize(1040, 720);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);
    ASSERT_GE(form.Picture1->lastPaintedArea(), kWhole * 9 / 10) << "the first paint shows it all";
  }
  static constexpr qint64 kWhole = qint64{685} * 685;
  window::Form1 form;
};

// After a quiet spell a change is painted at the first turn of the event loop, not a screen
// refresh later: one click never waits for the pacer.
TEST_F(Repaint, AChangeAfterAQuietSpellIsPaintedAtOnce) {
  QTest::qWait(100);
  form.Picture1_MouseDown(1, 0, 0, 0);
  form.Picture1_MouseMove(1, 0, 30, 40);
  QCoreApplication::processEvents();
  EXPECT_LE(form.Picture1->lastPaintedArea(), 3 * 8 * 3 * 8) << "the dot waits to be painted";
}

TEST_F(Repaint, ASketchDotRepaintsAFewTiles) {
  form.Picture1_MouseDown(1, 0, 0, 0);
  form.Picture1_MouseMove(1, 0, 30, 40);
  QTest::qWait(50);
  EXPECT_GT(form.Picture1->lastPaintedArea(), 0);
  EXPECT_LE(form.Picture1->lastPaintedArea(), 3 * 8 * 3 * 8);
}

TEST_F(Repaint, AnAngleStepOfASmallPatternRepaintsAFractionOfTheSurface) {
  form.txtParameter[0]->assignText(QStringLiteral("20"));  // 62 circles within 12 units
  QTest::qWait(50);
  form.hscParameter[4]->assignValue(13751);
  QTest::qWait(50);
  EXPECT_GT(form.Picture1->lastPaintedArea(), 0);
  EXPECT_LT(form.Picture1->lastPaintedArea(), kWhole / 10) << form.Picture1->lastPaintedArea();
}

}  // namespace

namespace {

// Drawings closer together than a screen refresh, after one has been shown: the screen ends up
// showing the last of them, pixel for pixel.
TEST_F(Repaint, TheScreenEndsEqualToTheCanvas) {
  for (int k = 1; k <= 5; ++k) {
    form.hscParameter[4]->assignValue(13750 + k);
    platform::DoEvents();
  }
  QTest::qWait(4 * platform::refreshInterval(&form));
  platform::Canvas& canvas = form.Picture1->canvas();
  ASSERT_FALSE(canvas.hasChanges()) << "a change was never painted";
  const QPoint inner = form.Picture1->geometry().topLeft() + QPoint(2, 2);
  const QImage shown = QGuiApplication::primaryScreen()
                           ->grabWindow(form.winId(), inner.x(), inner.y(), 685, 685)
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  // Below the swatches, which are controls of their own.
  const QRect belowSwatches(0, 30, 685, 655);
  EXPECT_TRUE(shown.copy(belowSwatches) == canvas.screen().copy(belowSwatches));
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Steps faster than the screen refreshes are each drawn in full, and the window paints at most
// once a refresh. (That the last step is the one left on the screen, the real-window tests see.)
TEST_F(Repaint, StepsFasterThanTheScreenRefreshesArePaintedOnceARefresh) {
  PaintCounter box(form.txtParameter[4]);
  PaintCounter surface(form.Picture1);
  const int redraws = form.redrawCount();
  QElapsedTimer timer;
  timer.start();
  int steps = 0;
  for (; timer.elapsed() < 100; ++steps) {
    form.hscParameter[4]->assignValue(13751 + steps % 100);
    platform::DoEvents();
  }
  QTest::qWait(100);
  EXPECT_EQ(form.redrawCount(), redraws + steps) << "every step is drawn";
  const int refreshes = 200 / platform::refreshInterval(&form) + 2;
  EXPECT_LE(box.paints, refreshes) << steps << " steps";
  EXPECT_LE(surface.paints, refreshes);
  EXPECT_GT(surface.paints, 0);
  EXPECT_GT(box.paints, 0);
}

}  // namespace
