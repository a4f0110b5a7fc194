// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/controls.h"
#include "runtime/events.h"
#include "support/error_recorder.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using platform::RuntimeError;
using platform::ScrollBar;
using platform::TextBox;

namespace {

TEST(TextBox, CodeAssignmentRunsChangeBeforeReturning) {
  TextBox box;
  QString seen;
  box.setChangeHandler([&] { seen = box.text(); });
  box.assignText(" 201");
  EXPECT_EQ(seen, " 201");
}

TEST(TextBox, AssigningTheSameTextRaisesNoChange) {
  TextBox box;
  box.setText("200");
  int changes = 0;
  box.setChangeHandler([&] { ++changes; });
  box.assignText("200");
  EXPECT_EQ(changes, 0);
}

TEST(TextBox, ErrorInChangeTravelsBackToTheAssigningCode) {
  TextBox box;
  box.setChangeHandler([] { throw RuntimeError(RuntimeError::Overflow); });
  EXPECT_THROW(box.assignText("x"), RuntimeError);
}

TEST(TextBox, EveryKeystrokeRaisesChangeAndErrorsAreReportedNotThrown) {
  ErrorRecorder recorder;
  TextBox box;
  std::vector<QString> texts;
  box.setChangeHandler([&] {
    texts.push_back(box.text());
    if (box.text() == "13") throw RuntimeError(RuntimeError::Overflow);
  });
  QTest::keyClicks(&box, "138");
  EXPECT_EQ(texts, (std::vector<QString>{"1", "13", "138"}));
  EXPECT_EQ(recorder.numbers, std::vector<int>{RuntimeError::Overflow});
}

// A control without a handler, or whose handler was taken away, changes quietly: the user's
// change as the code's.
TEST(ScrollBar, WithoutAHandlerChangesQuietly) {
  ScrollBar bar;
  bar.setRange(1, 50);
  int changes = 0;
  bar.setChangeHandler([&] { ++changes; });
  bar.setChangeHandler({});
  bar.assignValue(20);
  bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
  TextBox box;
  box.assignText("7");
  QTest::keyClicks(&box, "8");
  EXPECT_EQ(bar.value(), 21);
  EXPECT_EQ(box.text(), "78");
  EXPECT_EQ(changes, 0);
}

TEST(ScrollBar, ValueOutsideTheRangeIsRefused) {
  ScrollBar bar;
  bar.setRange(1, 50);
  bar.setValue(12);
  int changes = 0;
  bar.setChangeHandler([&] { ++changes; });
  for (int value : {0, 51, -1, 32767}) {
    try {
      bar.assignValue(value);
      ADD_FAILURE() << value << " was accepted";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), RuntimeError::InvalidPropertyValue);
    }
  }
  EXPECT_EQ(bar.value(), 12);
  EXPECT_EQ(changes, 0);
}

TEST(ScrollBar, CodeAssignmentRunsChangeOnceAndTheSameValueNone) {
  ScrollBar bar;
  bar.setRange(0, 18000);
  int changes = 0;
  int seen = -1;
  bar.setChangeHandler([&] {
    ++changes;
    seen = bar.Value();
  });
  bar.assignValue(13751);
  bar.assignValue(13751);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seen, 13751);
}

TEST(ScrollBar, ArrowStepRaisesChangeAtOnce) {
  ScrollBar bar;
  bar.setRange(1, 2000);
  bar.setValue(200);
  int changes = 0;
  bar.setChangeHandler([&] { ++changes; });
  bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(bar.value(), 201);
  EXPECT_EQ(changes, 1);
}

TEST(ScrollBar, DraggedThumbChangesValueOnlyWhenLetGo) {
  ScrollBar bar;
  bar.setRange(1, 2000);
  bar.setValue(200);
  int changes = 0;
  bar.setChangeHandler([&] { ++changes; });
  bar.setSliderDown(true);
  bar.setSliderPosition(500);
  bar.setSliderPosition(900);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(bar.value(), 200);
  bar.setSliderDown(false);
  EXPECT_EQ(bar.value(), 900);
  EXPECT_EQ(changes, 1);
}

}  // namespace

namespace {

// A run steps the bar while the user holds its thumb: the thumb stays under the pointer, and
// letting it go sets the dragged value, from which the run goes on.
TEST(ScrollBar, AThumbTheUserHoldsEndsInTheDraggedValue) {
  ScrollBar bar;
  bar.setRange(0, 18000);
  bar.setValue(13750);
  bar.resize(200, 20);
  std::vector<int> changes;
  bar.setChangeHandler([&] { changes.push_back(bar.value()); });
  QStyleOptionSlider option;
  option.initFrom(&bar);
  option.orientation = Qt::Horizontal;
  option.minimum = bar.minimum();
  option.maximum = bar.maximum();
  option.sliderPosition = option.sliderValue = bar.value();
  option.pageStep = bar.pageStep();
  const QPoint thumb =
      bar.style()
          ->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar)
          .center();
  QTest::mousePress(&bar, Qt::LeftButton, {}, thumb);
  QTest::mouseMove(&bar, QPoint(0, thumb.y()));
  bar.assignValue(13751);  // the run's step, while the thumb is held at the left end
  EXPECT_EQ(bar.sliderPosition(), 0) << "the step moved the thumb the user holds";
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(0, thumb.y()));
  EXPECT_EQ(bar.Value(), 0);
  EXPECT_EQ(changes, (std::vector<int>{13751, 0}));
}

}  // namespace

namespace {

struct BarKey {
  Qt::Key key;
  int value;  // from 13750, with steps of 1 and pages of 10 in 0 .. 18000
};

class ScrollBarKeys : public testing::TestWithParam<BarKey> {};

// The keys of a horizontal bar on the desktop, each one change as a click is.
TEST_P(ScrollBarKeys, MoveTheBarAsOnTheDesktop) {
  ScrollBar bar;
  bar.setRange(0, 18000);
  bar.setSingleStep(1);
  bar.setPageStep(10);
  bar.setValue(13750);
  int changes = 0;
  bar.setChangeHandler([&] { ++changes; });
  QTest::keyClick(&bar, GetParam().key);
  EXPECT_EQ(bar.Value(), GetParam().value);
  EXPECT_EQ(changes, 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, ScrollBarKeys,
                         testing::Values(BarKey{Qt::Key_Right, 13751}, BarKey{Qt::Key_Down, 13751},
                                         BarKey{Qt::Key_Left, 13749}, BarKey{Qt::Key_Up, 13749},
                                         BarKey{Qt::Key_PageDown, 13760},
                                         BarKey{Qt::Key_PageUp, 13740}, BarKey{Qt::Key_Home, 0},
                                         BarKey{Qt::Key_End, 18000}));

// Enter and Return click a focused push button once a press, not again while they repeat.
TEST(PushButtonKeys, EnterAndReturnClick) {
  platform::PushButton button(QStringLiteral("löschen"));
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  QTest::keyClick(&button, Qt::Key_Return);
  QTest::keyClick(&button, Qt::Key_Enter);
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, {}, QString(), true);
  QCoreApplication::sendEvent(&button, &repeat);
  EXPECT_EQ(clicks, 2);
}

}  // namespace
