// SPDX-License-Identifier: GPL-3.0-or-later
// The window definition and the parameter rows.
#include "window/form1.h"
#include "runtime/events.h"
#include "support/error_recorder.h"
#include "support/turn_script.h"
#include "support/watchdog.h"
#include "window/layout.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

using window::Form1;

namespace {

class MainWindow : public testing::Test {
 protected:
  ErrorRecorder errors;
  Form1 form;
};

TEST_F(MainWindow, StartUpReadsTheTextsAndDrawsOnce) {
  EXPECT_EQ(form.parameters.PointTotal, 600);
  EXPECT_EQ(form.parameters.PointSize, 2);
  EXPECT_EQ(form.parameters.RadiusStep, 20);
  EXPECT_EQ(form.parameters.Speed, 0);
  EXPECT_EQ(form.parameters.DivergenceAngle, 137.5);
  EXPECT_EQ(form.redrawCount(), 1);
  // The drawing is there before the window is shown: the centre of the spiral is not empty.
  const QImage& drawing = form.Picture1->drawing();
  int painted = 0;
  for (int y = 300; y < 385; ++y) {
    for (int x = 300; x < 385; ++x) painted += qAlpha(drawing.pixel(x, y)) > 0;
  }
  EXPECT_GT(painted, 100);
  EXPECT_TRUE(errors.numbers.empty());
}

TEST_F(MainWindow, StoredBarPositionsOfRowsOneToThreeDifferFromTheirTexts) {
  EXPECT_EQ(form.hscParameter[1]->value(), 12);
  EXPECT_EQ(form.txtParameter[1]->text(), "2");
  EXPECT_EQ(form.hscParameter[2]->value(), 1);
  EXPECT_EQ(form.txtParameter[2]->text(), "20");
  EXPECT_EQ(form.hscParameter[3]->value(), 1);
  EXPECT_EQ(form.txtParameter[3]->text(), "0");
}

TEST_F(MainWindow, OpensAtItsStartSizeWithCaptionAndIcon) {
  EXPECT_EQ(form.size(), QSize(312, 213));
  EXPECT_EQ(form.windowTitle(), "Quirlbild");
  EXPECT_FALSE(form.windowIcon().isNull());
  EXPECT_EQ(form.windowIcon().availableSizes().value(0), QSize(32, 32));
}

TEST_F(MainWindow, ControlsStandAtTheirPlacesInPixels) {
  EXPECT_EQ(form.Picture1->geometry(), QRect(8, 16, 689, 689));
  EXPECT_EQ(form.Picture1->contentsRect().size(), QSize(685, 685));
  EXPECT_EQ(form.picZiel->geometry(), QRect(712, 352, 177, 169));
  EXPECT_EQ(form.picZiel->contentsRect().size(), QSize(173, 165));
  EXPECT_EQ(form.hscParameter[2]->geometry(), QRect(785, 168, 105, 25));
  EXPECT_EQ(form.Command5->geometry(), QRect(720, 664, 161, 41));
  EXPECT_EQ(form.Text1->geometry(), QRect(715, 545, 171, 46));
  EXPECT_EQ(form.txtParameter[5]->geometry(), QRect(704, 312, 65, 25));
  EXPECT_EQ(form.lblParameter[5]->pos(), QPoint(792, 312));
}

TEST_F(MainWindow, ResizingMovesNothing) {
  const QRect before = form.Command5->geometry();
  form.resize(1100, 800);
  form.resize(200, 100);
  EXPECT_EQ(form.Command5->geometry(), before);
}

TEST_F(MainWindow, SwatchesSitInPicture1InTheirColourOrder) {
  std::vector<std::pair<int, platform::OleColor>> byPlace;
  for (platform::PictureBox* swatch : form.Picture2) {
    EXPECT_EQ(swatch->parentWidget(), form.Picture1);
    EXPECT_EQ(swatch->toolTip(), "Hintergrundfarbe");
    EXPECT_EQ(swatch->size(), QSize(26, 26));
    byPlace.emplace_back(swatch->x(), swatch->BackColor());
  }
  std::sort(byPlace.begin(), byPlace.end());
  const std::vector<platform::OleColor> expected = {0x00FFFFFF, 0x00C0FFFF, 0x00000000, 0x00FF00FF,
                                                    0x000000FF, 0x00800000, 0x00F6F6F6};
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(byPlace[k].second, expected[k]) << "place " << k + 1;
    EXPECT_EQ(byPlace[k].first, 2 + 25 * static_cast<int>(k)) << "place " << k + 1;
  }
}

TEST_F(MainWindow, OnlyTheSwatchesHaveToolTips) {
  int withTip = 0;
  for (QWidget* child : form.findChildren<QWidget*>()) withTip += !child->toolTip().isEmpty();
  EXPECT_EQ(withTip, 7);
}

// Tab and Shift+Tab walk the whole window in TabIndex order, picture boxes and swatches
// included, labels skipped; the window opens with the focus on the drawing surface.
TEST_F(MainWindow, TabWalksEveryFocusableControlInTabIndexOrder) {
  // The window's 32 controls in TabIndex order 0 to 31, as the window definition gives them;
  // the labels are skipped.
  const char* const kTabOrder[32] = {
      "Picture1",        "Command1",        "txtParameter(0)", "hscParameter(0)", "lblParameter(0)",
      "txtParameter(1)", "hscParameter(1)", "lblParameter(1)", "txtParameter(2)", "hscParameter(2)",
      "lblParameter(2)", "txtParameter(4)", "hscParameter(4)", "lblParameter(4)", "Command2",
      "txtParameter(5)", "lblParameter(5)", "picZiel",         "hscParameter(3)", "txtParameter(3)",
      "lblParameter(3)", "Command3",        "Command4",        "Command5",        "Text1",
      "Picture2(0)",     "Picture2(1)",     "Picture2(2)",     "Picture2(3)",     "Picture2(4)",
      "Picture2(5)",     "Picture2(6)"};
  std::vector<QWidget*> expected;
  for (const char* name : kTabOrder) {
    if (QString::fromLatin1(name).startsWith(QStringLiteral("lbl"))) continue;
    expected.push_back(form.findChild<QWidget*>(QString::fromLatin1(name)));
    ASSERT_NE(expected.back(), nullptr) << name;
  }
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  ASSERT_EQ(QApplication::focusWidget(), form.Picture1);
  std::vector<QWidget*> forward{QApplication::focusWidget()};
  for (std::size_t k = 1; k <= expected.size(); ++k) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    forward.push_back(QApplication::focusWidget());
  }
  std::vector<QWidget*> cycle = expected;
  cycle.push_back(form.Picture1);  // round again
  EXPECT_EQ(forward, cycle);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), form.Picture2[6]);
  for (QLabel* label : form.lblParameter) EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
}

// A focused swatch does with Space or Enter what its click does, and nothing else does.
TEST_F(MainWindow, SpaceOrEnterOnAFocusedSwatchSetsTheBackground) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.Picture2[2]->setFocus();
  QTest::keyClick(form.Picture2[2], Qt::Key_Space);
  EXPECT_EQ(form.Picture1->BackColor(), 0x00000000u);
  form.Picture2[4]->setFocus();
  QTest::keyClick(form.Picture2[4], Qt::Key_Return);
  EXPECT_EQ(form.Picture1->BackColor(), 0x000000FFu);
  const int redraws = form.redrawCount();
  form.Picture1->setFocus();
  QTest::keyClick(form.Picture1, Qt::Key_Space);
  QTest::keyClick(form.picZiel, Qt::Key_Return);
  EXPECT_EQ(form.Picture1->BackColor(), 0x000000FFu);
  EXPECT_EQ(form.redrawCount(), redraws);
  EXPECT_EQ(form.Text1->text(), QStringLiteral("Text1"));
}

// Screen readers hear what each picture box is: the surface and the pad are canvases, a swatch
// is a button named by its colour that can be pressed.
TEST_F(MainWindow, PictureBoxesHaveTheirTrueAccessibleRoles) {
  QAccessibleInterface* surface = QAccessible::queryAccessibleInterface(form.Picture1);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->role(), QAccessible::Canvas);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(form.picZiel)->role(), QAccessible::Canvas);
  QAccessibleInterface* swatch = QAccessible::queryAccessibleInterface(form.Picture2[3]);
  EXPECT_EQ(swatch->role(), QAccessible::Button);
  EXPECT_EQ(swatch->text(QAccessible::Name), QStringLiteral("Hintergrundfarbe magenta"));
  QAccessibleActionInterface* actions = swatch->actionInterface();
  ASSERT_NE(actions, nullptr);
  ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(form.Picture1->BackColor(), 0x00FF00FFu);
}

TEST_F(MainWindow, ScrollBarRangesAndSteps) {
  EXPECT_EQ(form.hscParameter[0]->maximum(), 2000);
  EXPECT_EQ(form.hscParameter[3]->maximum(), 400);
  EXPECT_EQ(form.hscParameter[4]->minimum(), 0);
  EXPECT_EQ(form.hscParameter[4]->maximum(), 18000);
  EXPECT_EQ(form.hscParameter[4]->singleStep(), 1);
  EXPECT_EQ(form.hscParameter[4]->pageStep(), 10);
  for (int row = 0; row < 4; ++row) EXPECT_EQ(form.hscParameter[row]->pageStep(), 1) << row;
}

TEST_F(MainWindow, FontsOfCaptionsAndBoxesAreTheWindowsFontsOrTheirMetricTwins) {
  // What the font database really gives, not the family asked for.
  const QString caption = QFontInfo(form.lblParameter[0]->font()).family();
  EXPECT_TRUE(caption == "Times New Roman" || caption == "Liberation Serif")
      << caption.toStdString();
  EXPECT_DOUBLE_EQ(form.lblParameter[0]->font().pointSizeF(), 12);
  const QString box = QFontInfo(form.txtParameter[4]->font()).family();
  EXPECT_TRUE(box == "MS Sans Serif" || box == "Liberation Sans") << box.toStdString();
  EXPECT_DOUBLE_EQ(form.txtParameter[4]->font().pointSizeF(), 9.75);
  EXPECT_EQ(form.txtParameter[4]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_FALSE(form.txtParameter[5]->hasFrame());
}

TEST_F(MainWindow, StopButtonShowsARedFace) {
  form.resize(1040, 720);
  const QImage face = form.Command4->grab().toImage();
  EXPECT_EQ(face.pixelColor(face.width() / 2, 3), QColor(255, 0, 0));
}

TEST_F(MainWindow, ScreenReadersCanNameEveryControl) {
  const std::vector<std::pair<QWidget*, QString>> expected = {
      {form.Picture1, "Zeichenfläche"},
      {form.picZiel, "Zielfeld"},
      {form.Text1, "Statusanzeige"},
      {form.Command3, "lauf"},
      {form.Command4, "stop"},
      {form.Picture2[2], "Hintergrundfarbe schwarz"},
      {form.Picture2[6], "Hintergrundfarbe hellgelb"},
      {form.hscParameter[4], "Winkel"},
      {form.txtParameter[0], "Anzahl Punkte"},
      {form.txtParameter[5], "Sonnenblume"},
  };
  for (const auto& [widget, name] : expected) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), name) << widget->objectName().toStdString();
  }
  for (QWidget* child : form.findChildren<QWidget*>()) {
    if (child->focusPolicy() == Qt::NoFocus && !qobject_cast<platform::PictureBox*>(child))
      continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(child);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
        << child->objectName().toStdString();
  }
}

// --- The parameter rows --------------------------------------------------------------------

TEST_F(MainWindow, ArrowClickOnRowZeroWritesTheValueAndRedrawsOnce) {
  form.hscParameter[0]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(form.txtParameter[0]->text(), " 201");
  EXPECT_EQ(form.parameters.PointTotal, 603);
  EXPECT_EQ(form.redrawCount(), 2);
}

TEST_F(MainWindow, PageClickStepsRowFourByTen) {
  form.hscParameter[4]->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(form.txtParameter[4]->text(), " 13760");
  EXPECT_EQ(form.parameters.DivergenceAngle, 137.6);
}

TEST_F(MainWindow, CodeAssignmentRunsTheWholeChainBeforeReturning) {
  form.hscParameter[4]->assignValue(13751);
  EXPECT_EQ(form.txtParameter[4]->text(), " 13751");
  EXPECT_EQ(form.parameters.DivergenceAngle, 137.51);
  EXPECT_EQ(form.redrawCount(), 2);
  form.hscParameter[4]->assignValue(13751);
  EXPECT_EQ(form.redrawCount(), 2) << "the same value again redraws nothing";
}

TEST_F(MainWindow, TypingOverRowFourRedrawsOncePerKeystroke) {
  platform::TextBox* box = form.txtParameter[4];
  box->setFocus();
  box->selectAll();
  std::vector<double> angles;
  const int before = form.redrawCount();
  for (const char key : std::string("13800")) {
    QTest::keyClick(box, key);
    angles.push_back(form.parameters.DivergenceAngle);
  }
  EXPECT_EQ(form.redrawCount() - before, 5);
  EXPECT_EQ(angles, (std::vector<double>{0.01, 0.13, 1.38, 13.8, 138}));
  EXPECT_EQ(form.hscParameter[4]->value(), 13750) << "a typed text never moves its bar";
}

TEST_F(MainWindow, RowsFiveAndThreeRedrawTheSamePicture) {
  const QImage before = form.Picture1->drawing();
  for (platform::TextBox* box : {form.txtParameter[5], form.txtParameter[3]}) {
    const int redraws = form.redrawCount();
    QTest::keyClicks(box, "7");
    EXPECT_EQ(form.redrawCount(), redraws + 1);
    EXPECT_EQ(form.Picture1->drawing(), before);
  }
  EXPECT_EQ(form.txtParameter[3]->text(), "07");
  EXPECT_EQ(form.parameters.Speed, 7);
}

TEST_F(MainWindow, ThumbDragChangesTheTextOnlyWhenLetGo) {
  platform::ScrollBar* bar = form.hscParameter[0];
  bar->setSliderDown(true);
  bar->setSliderPosition(900);
  EXPECT_EQ(form.txtParameter[0]->text(), "200");
  EXPECT_EQ(form.redrawCount(), 1);
  bar->setSliderDown(false);
  EXPECT_EQ(form.txtParameter[0]->text(), " 900");
  EXPECT_EQ(form.redrawCount(), 2);
}

TEST_F(MainWindow, TypedTextStaysUntilItsBarMovesFromItsOwnPosition) {
  form.txtParameter[1]->selectAll();
  QTest::keyClicks(form.txtParameter[1], "30");
  EXPECT_EQ(form.txtParameter[1]->text(), "30");
  form.hscParameter[1]->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(form.txtParameter[1]->text(), " 11") << "counted from the bar's stored 12";
  EXPECT_EQ(form.parameters.PointSize, 11);
}

TEST_F(MainWindow, OverflowInRowZeroIsShownAndChangesNothing) {
  const QImage before = form.Picture1->drawing();
  form.txtParameter[0]->selectAll();
  QTest::keyClicks(form.txtParameter[0], "1e308");
  // "1", "1e", "1e3", "1e30" are drawn; "1e308" overflows when multiplied by 3.
  ASSERT_EQ(errors.numbers, std::vector<int>{platform::RuntimeError::Overflow});
  EXPECT_DOUBLE_EQ(form.parameters.PointTotal, 3e30);
  EXPECT_EQ(form.redrawCount(), 5);
  form.txtParameter[0]->selectAll();
  QTest::keyClicks(form.txtParameter[0], "200");
  EXPECT_EQ(form.Picture1->drawing(), before) << "the program goes on as before";
}

TEST_F(MainWindow, ZeigenRedrawsFromTheParameters) {
  form.Picture1->canvas().Cls();
  form.Command1->click();
  EXPECT_EQ(form.redrawCount(), 2);
  EXPECT_GT(form.Picture1->drawing().pixelColor(342, 342).alpha(), 0);
}

}  // namespace

namespace {

// Three billion points packed into the square take minutes to draw; Escape stops them.
class LongDrawing : public MainWindow {
 protected:
  void SetUp() override {
    form.drawingProgress().setShowAfterMs(0);
    form.txtParameter[2]->assignText(QStringLiteral("0.00001"));
  }
  // Sets row 0 without drawing: the next drawing of the chain is an endless one.
  void makeDrawingsEndless() {
    const QSignalBlocker quiet(form.txtParameter[0]);
    form.txtParameter[0]->setText(QStringLiteral("1000000000"));
  }
  // Escape, as the window system sends it to the window.
  void postEscape() {
    QObject* target = form.windowHandle() ? static_cast<QObject*>(form.windowHandle()) : &form;
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, {}));
  }
  // Runs `action` inside the drawing that is about to start, at its first look at waiting events.
  void duringTheDrawing(std::function<void()> action) {
    QTimer::singleShot(0, &form, std::move(action));
  }
  // The window on the screen, every control in it, the focus in row 3's box.
  void showWithFocusInRowThree() {
    form.resize(1040, 720);
    form.show();
    form.txtParameter[3]->setFocus();
    ASSERT_NE(form.windowHandle(), nullptr);
  }
  // Sets row 0 without drawing: the drawings after the one under way are short again.
  void makeDrawingsShort() {
    const QSignalBlocker quiet(form.txtParameter[0]);
    form.txtParameter[0]->setText(QStringLiteral("200"));
  }
  // A key typed, as the window system sends it to the window.
  void type(Qt::Key key, const QString& text) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QKeyEvent event(type, key, {}, text);
      QCoreApplication::sendEvent(form.windowHandle(), &event);
    }
  }
  // A click at `at` in the window, each event sent as the window system sends it.
  void click(QPointF at) {
    for (const auto& [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                        std::pair{QEvent::MouseButtonRelease, Qt::NoButton}}) {
      QMouseEvent event(type, at, form.mapToGlobal(at), Qt::LeftButton, buttons, {});
      QCoreApplication::sendEvent(form.windowHandle(), &event);
    }
  }
  void clickOn(const QWidget* widget) {
    click(QPointF(widget->mapTo(&form, widget->rect().center())));
  }
  // The indicator's "Abbrechen", while the indicator is up.
  const QWidget* abbrechen() {
    return form.drawingProgress().indicator() ? form.drawingProgress().cancelButton() : nullptr;
  }
};

// Counts the presses of `key` that reach `widget`.
class KeySpy : public QObject {
 public:
  KeySpy(QWidget* widget, Qt::Key key, int* presses) : key_(key), presses_(presses) {
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_) {
      ++*presses_;
    }
    return false;
  }

 private:
  Qt::Key key_;
  int* presses_;
};

// Calls `look` at every pass of the event loop, those inside drawings included, until it returns
// true.
class EveryPass : public QObject {
 public:
  explicit EveryPass(std::function<bool()> look) : look_(std::move(look)) {
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
  }
  ~EveryPass() override { QCoreApplication::removePostedEvents(this); }

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    if (!look_()) QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    return true;
  }

 private:
  std::function<bool()> look_;
};

TEST_F(LongDrawing, EscapeStopsItKeepingWhatWasDrawnAndSaysSo) {
  const Watchdog watchdog(form, 10);
  duringTheDrawing([this] { postEscape(); });
  form.txtParameter[0]->setText(QStringLiteral("1000000000"));
  EXPECT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  EXPECT_TRUE(errors.numbers.empty());
  EXPECT_EQ(form.drawingProgress().indicator(), nullptr);
  EXPECT_DOUBLE_EQ(form.parameters.PointTotal, 3e9) << "the parameters are as the chain left them";
  const QImage& drawing = form.Picture1->drawing();
  EXPECT_EQ(qAlpha(drawing.pixel(drawing.width() / 2, drawing.height() / 2)), 255)
      << "what was drawn stays";
}

TEST_F(LongDrawing, ShowsItsIndicatorOnlyAfterHalfASecond) {
  const Watchdog watchdog(form, 10);
  form.drawingProgress().setShowAfterMs(window::DrawingProgress::kShowAfterMs);
  QElapsedTimer sinceStart;
  qint64 shownAfter = -1;
  std::function<void()> watch = [&] {
    if (form.drawingProgress().indicator()) {
      shownAfter = sinceStart.elapsed();
      postEscape();
    } else {
      QTimer::singleShot(1, &form, watch);
    }
  };
  duringTheDrawing(watch);
  sinceStart.start();
  form.txtParameter[0]->setText(QStringLiteral("1000000000"));
  EXPECT_GE(shownAfter, 500);
  EXPECT_LT(shownAfter, 1500) << "the first look at waiting events comes with the indicator";
}

// Nothing reaches a handler while the drawing runs, not even an accessibility action, and
// nothing is lost: after it, a bar set through accessibility, a typed key and a click run in
// the order they came.
TEST_F(LongDrawing, InputAndAccessibilityActionsRunAfterItInOrder) {
  const Watchdog watchdog(form, 20);
  showWithFocusInRowThree();
  makeDrawingsEndless();
  const int redrawsBefore = form.redrawCount();
  int redrawsDuring = -1;
  QString rowThreeDuring;
  duringTheDrawing([&] {
    // A screen reader sets the point size bar: the bar moves, its handler waits.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form.hscParameter[0]);
    ASSERT_NE(bar, nullptr);
    bar->valueInterface()->setCurrentValue(201);
    type(Qt::Key_7, QStringLiteral("7"));
    clickOn(form.Command2);  // "löschen"
    QTimer::singleShot(0, &form, [&] {
      redrawsDuring = form.redrawCount();
      rowThreeDuring = form.txtParameter[3]->text();
      postEscape();
    });
  });
  // A change of the note row reads the parameters and draws.
  form.txtParameter[5]->setText(QStringLiteral("1"));
  EXPECT_EQ(redrawsDuring, redrawsBefore + 1) << "a handler ran inside the drawing";
  EXPECT_EQ(rowThreeDuring, QStringLiteral("0")) << "a key reached its box during the drawing";
  EXPECT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  QTest::qWait(50);
  EXPECT_EQ(form.txtParameter[0]->text(), QStringLiteral(" 201"));
  EXPECT_EQ(form.txtParameter[3]->text(), QStringLiteral("07"));
  EXPECT_EQ(form.redrawCount(), redrawsBefore + 3) << "the bar's and the key's redraws";
  EXPECT_TRUE(
      form.Picture1->drawing().isNull() ||
      std::all_of(form.Picture1->drawing().constBits(),
                  form.Picture1->drawing().constBits() + form.Picture1->drawing().sizeInBytes(),
                  [](uchar byte) { return byte == 0; }))
      << "the click on \"löschen\" came last";
  EXPECT_TRUE(errors.numbers.empty());
}

// A click on "Abbrechen" while a key waits takes its turn behind the key: the drawing goes on,
// and the key runs after it.
TEST_F(LongDrawing, AbbrechenWaitsBehindInputThatCameBeforeIt) {
  const Watchdog watchdog(form, 20);
  showWithFocusInRowThree();
  makeDrawingsEndless();
  bool lookedAgain = false;
  duringTheDrawing([&] {
    ASSERT_NE(abbrechen(), nullptr);
    type(Qt::Key_7, QStringLiteral("7"));
    clickOn(abbrechen());
    makeDrawingsShort();
    QTimer::singleShot(0, &form, [&] {
      lookedAgain = true;
      postEscape();
    });
  });
  form.txtParameter[5]->setText(QStringLiteral("1"));
  EXPECT_TRUE(lookedAgain) << "the click on Abbrechen overtook the key before it";
  EXPECT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  QTest::qWait(50);
  EXPECT_EQ(form.txtParameter[3]->text(), QStringLiteral("07"));
}

// Input kept during one drawing whose first key starts another long drawing when it runs: the rest
// waits again, ahead of what comes during the second drawing, and all of it runs in the order it
// was typed.
TEST_F(LongDrawing, KeptInputThatStartsAnotherLongDrawingKeepsItsOrder) {
  const Watchdog watchdog(form, 20);
  showWithFocusInRowThree();
  makeDrawingsEndless();
  const int redrawsBefore = form.redrawCount();
  duringTheDrawing([&] {
    for (const char digit : {'1', '2', '3'}) {
      type(static_cast<Qt::Key>(digit), QString(QChar::fromLatin1(digit)));
    }
    postEscape();
  });
  QString rowThreeDuringTheSecond;
  // Inside the second drawing, the one that the replayed "1" starts.
  const EveryPass second([&] {
    if (form.redrawCount() != redrawsBefore + 2 || !form.drawingProgress().indicator()) {
      return false;
    }
    rowThreeDuringTheSecond = form.txtParameter[3]->text();
    type(Qt::Key_4, QStringLiteral("4"));
    makeDrawingsShort();
    postEscape();
    return true;
  });
  form.txtParameter[5]->setText(QStringLiteral("1"));
  QTest::qWait(100);
  EXPECT_EQ(rowThreeDuringTheSecond, QStringLiteral("01"));
  EXPECT_EQ(form.txtParameter[3]->text(), QStringLiteral("01234"));
}

// Once "Abbrechen" has been clicked, a click during a later long drawing waits for it to end as
// any other: the focus does not move to the box clicked before the drawing is over.
TEST_F(LongDrawing, AfterAbbrechenWasClickedLaterClicksStillWait) {
  const Watchdog watchdog(form, 20);
  showWithFocusInRowThree();
  makeDrawingsEndless();
  duringTheDrawing([&] {
    ASSERT_NE(abbrechen(), nullptr);
    clickOn(abbrechen());
  });
  form.txtParameter[5]->setText(QStringLiteral("1"));
  ASSERT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  EXPECT_EQ(QApplication::focusWidget(), form.txtParameter[3]) << "Abbrechen took the focus";
  const QWidget* focusDuring = nullptr;
  duringTheDrawing([&] {
    clickOn(form.txtParameter[1]);
    QTimer::singleShot(0, &form, [&] {
      focusDuring = QApplication::focusWidget();
      makeDrawingsShort();
      postEscape();
    });
  });
  form.txtParameter[5]->setText(QStringLiteral("2"));
  EXPECT_EQ(focusDuring, form.txtParameter[3]) << "the click reached its box during the drawing";
  QTest::qWait(50);
  EXPECT_EQ(QApplication::focusWidget(), form.txtParameter[1]) << "the click was lost";
}

// A cancel is the drawing's own: the next drawing, long enough to look at waiting events, runs to
// its end.
TEST_F(LongDrawing, TheDrawingAfterACancelledOneRunsToItsEnd) {
  const Watchdog watchdog(form, 20);
  duringTheDrawing([this] { postEscape(); });
  makeDrawingsEndless();
  form.txtParameter[5]->setText(QStringLiteral("1"));
  ASSERT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  form.Text1->setText(QString());
  int looks = 0;
  const EveryPass count([&] {
    looks += form.drawingProgress().indicator() != nullptr;
    return false;
  });
  // Three million points in a few pixels: a second or so, with many looks at waiting events.
  form.txtParameter[0]->setText(QStringLiteral("3000000"));
  EXPECT_GT(looks, 0) << "too short a drawing to tell";
  EXPECT_EQ(form.Text1->text(), QString()) << "the drawing stopped as if cancelled";
}

// Once the indicator has gone, Escape is a key like any other: it reaches the box with the focus,
// and it does not stop an animation whose steps are too short for an indicator.
TEST_F(LongDrawing, OnceTheIndicatorHasGoneEscapeIsAnOrdinaryKey) {
  const Watchdog watchdog(form, 20);
  showWithFocusInRowThree();
  duringTheDrawing([this] {
    makeDrawingsShort();
    postEscape();
  });
  makeDrawingsEndless();
  form.txtParameter[5]->setText(QStringLiteral("1"));
  ASSERT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  ASSERT_EQ(form.drawingProgress().indicator(), nullptr);
  form.drawingProgress().setShowAfterMs(window::DrawingProgress::kShowAfterMs);

  form.txtParameter[3]->assignText(QStringLiteral("400"));  // steps without an idle wait
  int escapesInTheBox = 0;
  KeySpy spy(form.txtParameter[3], Qt::Key_Escape, &escapesInTheBox);
  QTest::keyClick(form.txtParameter[3], Qt::Key_Escape);
  EXPECT_EQ(escapesInTheBox, 1) << "Escape was taken as a cancel";

  TurnScript script({{2, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
                     {4, [this] { form.Command4->click(); }}});
  form.Command3->click();
  EXPECT_EQ(form.hscParameter[4]->Value(), 13750 + 4) << "Escape stopped the animation";
  EXPECT_EQ(escapesInTheBox, 2);
}

// One cancel ends every run under way, the outer one without another step; a run started after
// it goes on.
TEST_F(LongDrawing, CancelEndsNestedRunsAtOnce) {
  const Watchdog watchdog(form, 10);
  makeDrawingsEndless();
  // The outer run's first DoEvents starts the inner run, whose first DoEvents posts Escape for
  // its first step's drawing.
  TurnScript script({{1, [this] { form.Command3->click(); }}, {2, [this] { postEscape(); }}});
  platform::runEvent([this] { form.Command3_Click(); });
  EXPECT_EQ(form.hscParameter[4]->Value(), 13751) << "one step, then both runs ended";
  EXPECT_EQ(form.Text1->text(), QStringLiteral("Zeichnung abgebrochen"));
  EXPECT_EQ(form.drawingProgress().indicator(), nullptr);
  EXPECT_TRUE(errors.numbers.empty());
}

struct DescriptionCase {
  pattern::ParameterSet parameters;
  platform::OleColor background;
  bool empty;
  bool complete;
  const char* text;
  friend void PrintTo(const DescriptionCase& c, std::ostream* os) { *os << c.text; }
};

class PictureDescription : public testing::TestWithParam<DescriptionCase> {};

TEST_P(PictureDescription, TellsPointsParametersAndBackgroundInGerman) {
  const DescriptionCase& c = GetParam();
  EXPECT_EQ(window::describePicture(c.parameters, c.background, c.empty, c.complete).toStdString(),
            c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PictureDescription,
    testing::Values(
        DescriptionCase{{600, 2, 20, 0, 137.5},
                        0x00FFFFFF,
                        false,
                        true,
                        "600 Punkte in drei Farben, Winkel 137,50°, Größe 2, Radiuszunahme 20, "
                        "Hintergrund weiß"},
        DescriptionCase{{7.5, 2.5, -4, 0, 0.01},
                        0x00800000,
                        false,
                        true,
                        "7,5 Punkte in drei Farben, Winkel 0,01°, Größe 2,5, Radiuszunahme -4, "
                        "Hintergrund marineblau"},
        DescriptionCase{{3e9, 2, 0.00001, 0, 137.5},
                        0x00000000,
                        false,
                        false,
                        "Unvollständig: 3.000.000.000 Punkte in drei Farben, Winkel 137,50°, "
                        "Größe 2, Radiuszunahme 0,00001, Hintergrund schwarz"},
        DescriptionCase{
            {600, 2, 20, 0, 137.5}, 0x00C0FFFF, true, true, "Leer, Hintergrund hellgelb"},
        // Row 0 = 1e30 gives 3 * 1e30, one unit in the last place above 3e30.
        DescriptionCase{{3.0 * 1e30, 2, 20, 0, 137.5},
                        0x00FFFFFF,
                        false,
                        true,
                        "3E+30 Punkte in drei Farben, Winkel 137,50°, Größe 2, Radiuszunahme 20, "
                        "Hintergrund weiß"}));

// Screen readers hear of the picture at most about once a second: twenty redraws in a row leave
// the description as it was, and the latest picture is told a second later.
TEST_F(MainWindow, DescriptionFollowsTheDrawingsAtMostOnceASecond) {
  const QString atStart = form.Picture1->accessibleDescription();
  EXPECT_TRUE(atStart.startsWith(QStringLiteral("600 Punkte")));
  for (int k = 0; k < 20; ++k)
    form.hscParameter[0]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(form.Picture1->accessibleDescription(), atStart);
  QTest::qWait(1100);
  EXPECT_TRUE(form.Picture1->accessibleDescription().startsWith(QStringLiteral("660 Punkte")))
      << form.Picture1->accessibleDescription().toStdString();
}

// The description tells what the surface shows: nothing where no point was drawn, an unfinished
// picture where an error stopped the drawing, the background after a swatch.
TEST_F(MainWindow, DescriptionTellsWhatTheSurfaceShows) {
  const auto describedAs = [this](const char* text) {
    QElapsedTimer waited;
    waited.start();
    while (form.Picture1->accessibleDescription() != QString::fromUtf8(text) &&
           waited.elapsed() < 3000) {
      QTest::qWait(50);
    }
    return form.Picture1->accessibleDescription().toStdString();
  };
  form.txtParameter[0]->setText(QStringLiteral("-5"));
  EXPECT_EQ(describedAs("Leer, Hintergrund weiß"), "Leer, Hintergrund weiß");
  form.txtParameter[0]->setText(QStringLiteral("200"));
  form.txtParameter[1]->setText(QStringLiteral("30"));
  // 180 * 1e306 overflows: points 1 to 179 are drawn, then the error stops the drawing.
  form.txtParameter[4]->setText(QStringLiteral("1e308"));
  ASSERT_EQ(errors.numbers, std::vector<int>{platform::RuntimeError::Overflow});
  const char* stopped =
      "Unvollständig: 600 Punkte in drei Farben, Winkel 1E+306°, Größe 30, Radiuszunahme 20, "
      "Hintergrund weiß";
  EXPECT_EQ(describedAs(stopped), stopped);
  form.Picture2[1]->click();
  const char* navy =
      "Unvollständig: 600 Punkte in drei Farben, Winkel 1E+306°, Größe 30, Radiuszunahme 20, "
      "Hintergrund marineblau";
  EXPECT_EQ(describedAs(navy), navy);
}

}  // namespace
