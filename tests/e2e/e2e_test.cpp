// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in a real window: a private Xvfb display, clicks and keys sent through the
// window system with xdotool, and screenshots of the drawing surface compared with what the
// program's own renderer draws offscreen for the same parameters.
#include "controls/picturebox.h"
#include "pattern/renderer.h"
#include "support/real_window.h"
#include "support/xvfb.h"
#include "window/layout.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

using namespace realwindow;

namespace {

QString gSkipReason;  // set when no display can be had

constexpr int kWidth = 1040;  // the window enlarged so that every control shows
constexpr int kHeight = 720;
// The program draws with the same renderer as the expectation, so the pictures agree to the
// pixel; this leaves room for a few stray pixels only.
constexpr double kTolerance = 0.00005;

// A point on the drawing surface, in window pixels, for user coordinates (x, y).
QPoint surfacePoint(double x, double y) {
  const QRect r = surfaceRect();
  return {r.left() + static_cast<int>((x + 100) * r.width() / 200),
          r.top() + static_cast<int>((y + 100) * r.height() / 200)};
}

// A drag with the left button held: pressed at the first point, moved through the others with a
// pause between moves, let go at the last.
void dragThrough(const std::vector<QPoint>& points) {
  QStringList command{"mousemove", QString::number(points.front().x()),
                      QString::number(points.front().y()), "mousedown", "1"};
  for (std::size_t k = 1; k < points.size(); ++k) {
    command << "sleep"
            << "0.1"
            << "mousemove" << QString::number(points[k].x()) << QString::number(points[k].y());
  }
  command << "mouseup"
          << "1";
  xdotool(command);
}

class RealProgram {
 public:
  // `scale` is the screen scale factor the program runs at.
  explicit RealProgram(double scale = 1) {
    if (scale != 1) {
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
      process_.setProcessEnvironment(environment);
    }
    process_.start(QStringLiteral(QUIRLBILD_EXECUTABLE), {});
    EXPECT_TRUE(process_.waitForStarted(10000));
    QString id;
    EXPECT_EQ(
        run(QStringLiteral("timeout"),
            {"10", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quirlbild$"}, &id),
        0);
    window_ = id.section('\n', 0, 0);
    xdotool({"windowmove", window_, "0", "0"});
    xdotool({"windowsize", window_, QString::number(qRound(kWidth * scale)),
             QString::number(qRound(kHeight * scale))});
    QTest::qWait(300);
  }
  ~RealProgram() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  QString windowId() const { return window_; }

  QImage surface() const { return screenPixels(surfaceRect()); }

  // Waits until the surface shows `expected` (within antialiasing), up to five seconds.
  bool shows(const QImage& expected, double* share = nullptr) const {
    QElapsedTimer timer;
    timer.start();
    double last = 1;
    while (timer.elapsed() < 5000) {
      last = differingShare(surface(), expected);
      if (last <= kTolerance) break;
      QTest::qWait(100);
    }
    if (share) *share = last;
    return last <= kTolerance;
  }

  // Waits until the surface stops changing and returns it.
  QImage settled() const {
    QImage previous = surface();
    for (int k = 0; k < 50; ++k) {
      QTest::qWait(200);
      QImage current = surface();
      if (current == previous) return current;
      previous = std::move(current);
    }
    return previous;
  }

  bool exitsWithin(int ms) { return process_.waitForFinished(ms); }
  int exitCode() const { return process_.exitCode(); }
  QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
  qint64 processId() const { return process_.processId(); }

 private:
  QProcess process_;
  QString window_;
};

// Asks the window to close, as its close box does.
void sendCloseRequest(const QString& windowId) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  xcb_connection_t* connection = x11->connection();
  auto atom = [&](const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return value;
  };
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = windowId.toUInt();
  event.type = atom("WM_PROTOCOLS");
  event.data.data32[0] = atom("WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
}

class RealWindow : public testing::Test {
 protected:
  void SetUp() override {
    if (!gSkipReason.isEmpty()) GTEST_SKIP() << gSkipReason.toStdString();
  }
};

TEST_F(RealWindow, AUserWorksThroughEveryControlAndQuits) {
  RealProgram program;
  pattern::ParameterSet p{600, 2, 20, 0, 137.5};
  constexpr platform::OleColor kWhite = 0x00FFFFFF;
  double share = 0;
  ASSERT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "start-up: " << share;

  click(centreOf("Command1"));  // zeigen
  EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "zeigen: " << share;

  // The right arrow of row 0's scroll bar: 200 becomes 201 points per band.
  const QRect bar0 = window::toPixels(window::kControls[3].place);
  click(QPoint(bar0.right() - 6, bar0.center().y()));
  p.PointTotal = 603;
  EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "scroll arrow: " << share;

  // Type a new angle over row 4.
  click(centreOf("txtParameter", 4));
  xdotool({"key", "ctrl+a"});
  xdotool({"type", "--delay", "30", "13800"});
  p.DivergenceAngle = 138;
  EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "typed angle: " << share;

  // Press and drag on the target pad: inner pixel (87, 83) then (43, 41).
  const QPoint pad = window::toPixels(window::kControls[17].place).topLeft() + QPoint(2, 2);
  const QPoint press = pad + QPoint(87, 83);
  const QPoint drag = pad + QPoint(43, 41);
  xdotool({"mousemove", QString::number(press.x()), QString::number(press.y()), "mousedown", "1"});
  QTest::qWait(200);
  xdotool({"mousemove", QString::number(drag.x()), QString::number(drag.y())});
  QTest::qWait(200);
  xdotool({"mouseup", "1"});
  p.PointSize = 13;
  p.RadiusStep = 45;
  EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "target pad: " << share;

  // The black swatch, third from the left.
  const QPoint swatches = surfaceRect().topLeft();
  click(swatches + QPoint(2 * 25 + 13, 13));
  constexpr platform::OleColor kBlack = 0x00000000;
  EXPECT_TRUE(program.shows(expectedSurface(p, kBlack), &share)) << "black swatch: " << share;

  // Sketch: a drag across the lower left of the surface leaves white-rimmed dots.
  std::vector<QPoint> sketch;
  for (int k = 0; k <= 4; ++k) sketch.push_back(surfacePoint(-80 + 10 * k, 60));
  dragThrough(sketch);
  const QImage sketched = program.settled();
  for (int k = 1; k <= 4; ++k) {
    const QPoint dot = surfacePoint(-80 + 10 * k, 60) - surfaceRect().topLeft();
    bool whiteRim = false;
    for (int dy = -5; dy <= 5; ++dy) {
      for (int dx = -5; dx <= 5; ++dx) {
        const QRgb c = sketched.pixel(dot + QPoint(dx, dy));
        whiteRim = whiteRim || (qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200);
      }
    }
    EXPECT_TRUE(whiteRim) << "no sketch dot near dot " << k;
  }

  click(centreOf("Command2"));  // löschen
  QImage black(surfaceRect().size(), QImage::Format_RGB32);
  black.fill(Qt::black);
  EXPECT_TRUE(program.shows(black, &share)) << "löschen: " << share;

  click(centreOf("Command1"));
  EXPECT_TRUE(program.shows(expectedSurface(p, kBlack), &share)) << "zeigen on black: " << share;

  // lauf: the pattern turns; stop: it rests at some angle past 138 degrees.
  click(centreOf("Command3"));
  QTest::qWait(700);
  const QImage turning1 = program.surface();
  QTest::qWait(700);
  const QImage turning2 = program.surface();
  EXPECT_NE(turning1, turning2) << "the pattern does not turn";
  click(centreOf("Command4"));
  const QImage stopped = program.settled();
  // The angle it stopped at, read from row 4 as the user would, through the clipboard.
  click(centreOf("txtParameter", 4));
  xdotool({"key", "ctrl+a", "ctrl+c"});
  QString copied;
  ASSERT_EQ(run(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"}, &copied), 0);
  bool isNumber = false;
  const int angle = copied.trimmed().toInt(&isNumber);
  ASSERT_TRUE(isNumber) << "row 4 reads " << copied.toStdString();
  EXPECT_GT(angle, 13750) << "the run made no step";
  p.DivergenceAngle = angle / 100.0;
  EXPECT_LE(differingShare(stopped, expectedSurface(p, kBlack)), kTolerance)
      << "the stopped picture is not the one for " << angle;

  click(centreOf("Command5"));  // beenden
  EXPECT_TRUE(program.exitsWithin(5000)) << "the program did not end";
  EXPECT_EQ(program.exitCode(), 0);
}

// Selects all of row `row`'s text and types `text` over it, a key every `delayMs`.
void typeInto(int row, const QString& text, int delayMs = 30) {
  click(centreOf("txtParameter", row));
  xdotool({"key", "ctrl+a", "type", "--delay", QString::number(delayMs), text});
}

// Row `row`'s text, read as the user would, through the clipboard; empty while the program is
// busy with a drawing and has not copied it yet.
QString textOf(int row) {
  click(centreOf("txtParameter", row));
  xdotool({"key", "ctrl+a", "ctrl+c"});
  QString copied;
  return run(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"}, &copied) == 0 ? copied
                                                                                       : QString();
}

// Row `row`'s text once two readings a second apart agree.
QString settledTextOf(int row) {
  QString last = textOf(row);
  for (int k = 0; k < 60; ++k) {
    QTest::qWait(1000);
    const QString now = textOf(row);
    if (now == last && !now.isEmpty()) return now;
    last = now;
  }
  return last;
}

// Waits up to `ms` for row `row` to read `text`; returns what it reads then.
QString waitForText(int row, const QString& text, int ms = 60000) {
  QElapsedTimer timer;
  timer.start();
  QString last;
  while ((last = textOf(row)) != text && timer.elapsed() < ms) QTest::qWait(500);
  return last;
}

// Points packed so close that all of them lie in the square: a drawing's time grows with row 0.
void makeDrawingsLong(RealProgram& program) {
  typeInto(2, "0.0001");
  program.settled();
}
// A drawing of a second or more: ninety million points where the program is built optimised,
// nine million where it is built for debugging or with a sanitizer, which draws many times
// slower.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUIRLBILD_SLOW_BUILD 1
#endif
#endif
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUIRLBILD_SLOW_BUILD 1
#endif
#if defined(QUIRLBILD_SLOW_BUILD)
const char* const kLongCount = "3000000";
const char* const kLongCountCut = "30007";  // kLongCount with its last three digits typed over
constexpr double kLongCountCutTotal = 90021;
#else
const char* const kLongCount = "30000000";
const char* const kLongCountCut = "300007";
constexpr double kLongCountCutTotal = 900021;
#endif

// Keys typed while a long drawing runs, and its indicator shows, arrive after it, in order; one
// click on an arrow is one step, however long the step's drawing.
TEST_F(RealWindow, InputDuringLongDrawingsArrivesAfterThemInOrder) {
  RealProgram program;
  makeDrawingsLong(program);
  typeInto(0, kLongCount);
  QTest::qWait(800);  // the indicator is up
  xdotool({"key", "--delay", "150", "BackSpace", "BackSpace", "BackSpace", "7"});
  EXPECT_EQ(waitForText(0, kLongCountCut).toStdString(), kLongCountCut);
  double share = 0;
  EXPECT_TRUE(
      program.shows(expectedSurface({kLongCountCutTotal, 2, 0.0001, 0, 137.5}, 0x00FFFFFF), &share))
      << "the picture for the last text: " << share;

  typeInto(0, kLongCount);
  program.settled();
  click(rightArrowOf(4));
  // Read as the clipboard gives it, without the leading blank.
  EXPECT_EQ(waitForText(4, "13751").toStdString(), "13751");
  QTest::qWait(3000);
  EXPECT_EQ(textOf(4).toStdString(), "13751") << "the arrow went on by itself";
}

// Between long steps of an animation every control works: a click on an arrow is handled at
// the next turn, "stop" ends the run; Escape ends nested runs.
TEST_F(RealWindow, TheWindowWorksBetweenLongAnimationSteps) {
  RealProgram program;
  makeDrawingsLong(program);
  typeInto(3, "400");
  typeInto(0, kLongCount);
  program.settled();
  click(centreOf("Command3"));  // lauf
  QTest::qWait(2500);
  click(rightArrowOf(0));  // the bar still stands at 200: typing never moves it
  QTest::qWait(2000);
  click(centreOf("Command4"));  // stop
  EXPECT_EQ(waitForText(0, "201").toStdString(), "201");
  const QString stoppedAt = settledTextOf(4);
  QTest::qWait(3000);
  EXPECT_EQ(textOf(4), stoppedAt) << "the run goes on after stop";
  EXPECT_NE(stoppedAt.toStdString(), "13750") << "the run made no step";

  // Two runs, the second nested in the first while the steps are short; then long steps.
  typeInto(0, "200");
  program.settled();
  click(centreOf("Command3"));
  QTest::qWait(300);
  click(centreOf("Command3"));
  QTest::qWait(300);
  typeInto(0, kLongCount);
  QTest::qWait(1500);
  xdotool({"key", "Escape"});
  const QString cancelledAt = settledTextOf(4);
  QTest::qWait(3000);
  EXPECT_EQ(textOf(4), cancelledAt) << "a run goes on after Escape";
}

TEST_F(RealWindow, ClosingTheWindowDuringARunEndsTheProgram) {
  RealProgram program;
  click(centreOf("Command3"));
  QTest::qWait(700);
  sendCloseRequest(program.windowId());
  EXPECT_TRUE(program.exitsWithin(5000)) << "the program still runs after its window closed";
  EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(RealWindow, ClosingTheWindowDuringALongDrawingEndsTheProgram) {
  RealProgram program;
  typeInto(2, "0.00001");
  program.settled();
  typeInto(0, "1000000000");  // minutes of drawing
  QTest::qWait(1500);
  sendCloseRequest(program.windowId());
  EXPECT_TRUE(program.exitsWithin(5000)) << "the program still runs after its window closed";
  EXPECT_EQ(program.exitCode(), 0);
}

// Presses of Tab that take the focus from `from` to `to`, in the layout table's tab order.
QStringList tabsFrom(window::Control from, window::Control to) {
  std::vector<window::Control> order;
  for (const window::ControlDef& def : window::kControls) {
    if (def.kind != window::Kind::Label) order.push_back(def.id);
  }
  const auto at = [&](window::Control id) {
    return static_cast<int>(std::find(order.begin(), order.end(), id) - order.begin());
  };
  const int n = static_cast<int>(order.size());
  QStringList keys{"key", "--delay", "40"};
  for (int k = 0; k < ((at(to) - at(from)) % n + n) % n; ++k) keys << "Tab";
  return keys;
}

// The focus mark's blue, as against the grey and dark lines of a frame and the navy swatch.
bool isHighlight(QRgb c) {
  return qBlue(c) > qRed(c) + 60 && qGreen(c) > 100;
}

// The visible windows with exactly this title, by their ids.
QStringList windowsNamed(const QString& title) {
  QString ids;
  run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^" + title + "$"}, &ids);
  return ids.split('\n', Qt::SkipEmptyParts);
}

// Ctrl+C puts the picture on the desktop's clipboard, as other programs read it; F1 and Ctrl+S
// open their windows, and Escape closes them.
TEST_F(RealWindow, PictureKeysReachTheDesktop) {
  if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
    GTEST_SKIP() << "xclip is not installed (scripts/install-deps)";
  }
  RealProgram program;
  program.settled();
  // The white swatch takes the focus, so that Ctrl+C is not a text box's.
  click(surfaceRect().topLeft() + QPoint(13, 13));
  QTest::qWait(300);
  xdotool({"key", "ctrl+c"});
  QTest::qWait(500);
  QProcess xclip;
  xclip.start(QStringLiteral("xclip"), {"-o", "-selection", "clipboard", "-t", "image/png"});
  ASSERT_TRUE(xclip.waitForFinished(10000));
  const QImage copied =
      QImage::fromData(xclip.readAllStandardOutput(), "png").convertToFormat(QImage::Format_RGB32);
  const QImage expected = expectedSurface({600, 2, 20, 0, 137.5}, 0x00FFFFFF);
  ASSERT_EQ(copied.size(), expected.size());
  // Every pixel, the swatches' corner too: the copy has the picture there, not the swatches.
  int differing = 0;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb a = copied.pixel(x, y);
      const QRgb b = expected.pixel(x, y);
      differing += std::abs(qRed(a) - qRed(b)) > 32 || std::abs(qGreen(a) - qGreen(b)) > 32 ||
                   std::abs(qBlue(a) - qBlue(b)) > 32;
    }
  }
  EXPECT_EQ(differing, 0);

  for (const auto& [key, title] :
       {std::pair{"F1", "Hilfe zu Quirlbild"}, std::pair{"ctrl+s", "Bild speichern"}}) {
    // Without a window manager the focus does not go back to the window by itself.
    click(surfaceRect().topLeft() + QPoint(13, 13));
    QTest::qWait(300);
    xdotool({"key", key});
    EXPECT_TRUE(windowShown(QString::fromUtf8(title))) << key;
    QTest::qWait(300);
    xdotool({"key", "Escape"});
    QTest::qWait(500);
    EXPECT_NE(run(QStringLiteral("xdotool"),
                  {"search", "--onlyvisible", "--name", QStringLiteral("^%1$").arg(title)}),
              0)
        << title << " is still open";
  }
  // The window goes on: a click on the angle bar's arrow shows its step.
  click(rightArrowOf(4));
  double share = 0;
  EXPECT_TRUE(program.shows(expectedSurface({600, 2, 20, 0, 137.51}, 0x00FFFFFF), &share)) << share;
}

// The system asks the program to end while it writes a poster (a desktop sends SIGTERM at
// log-out, a terminal SIGINT or SIGHUP): it ends as when its window is closed, with nothing left
// of the file but what was there before.
class QuitSignal : public RealWindow, public testing::WithParamInterface<int> {};

TEST_P(QuitSignal, DuringAPosterEndsTheProgramAndLeavesNothingBehind) {
  QTemporaryDir folder;
  RealProgram program;
  program.settled();
  click(surfaceRect().topLeft() + QPoint(13, 13));
  QTest::qWait(300);
  xdotool({"key", "ctrl+shift+s"});
  const QString title = QStringLiteral("Poster speichern");
  ASSERT_TRUE(windowShown(title));
  const QStringList posterDialog = windowsNamed(title);
  QTest::qWait(300);
  // The largest poster, then the file's name, typed whole into the file dialog, which has the same
  // title: it is told apart by its window.
  xdotool({"key", "ctrl+a"});
  xdotool({"type", "16384"});
  xdotool({"key", "Return"});
  QElapsedTimer opening;
  opening.start();
  const auto fileDialogShown = [&] {
    const QStringList now = windowsNamed(title);
    return !now.isEmpty() && now != posterDialog;
  };
  while (!fileDialogShown() && opening.elapsed() < 30000) QTest::qWait(100);
  ASSERT_TRUE(fileDialogShown()) << "no file dialog";
  QTest::qWait(500);
  xdotool({"key", "ctrl+a"});
  xdotool({"type", "--delay", "10", folder.filePath(QStringLiteral("poster.png"))});
  xdotool({"key", "Return"});
  // The file is being written under its temporary name.
  QElapsedTimer waited;
  waited.start();
  const auto files = [&] {
    return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  };
  while (files().isEmpty() && waited.elapsed() < 30000) QTest::qWait(20);
  ASSERT_EQ(files().size(), 1) << "no poster is being written";
  ASSERT_TRUE(files().front().startsWith('.')) << files().front().toStdString();
  ::kill(static_cast<pid_t>(program.processId()), GetParam());
  ASSERT_TRUE(program.exitsWithin(5000)) << "the program still runs";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_EQ(files(), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignal, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const testing::TestParamInfo<int>& signal) {
                           return std::string(signal.param == SIGTERM  ? "SIGTERM"
                                              : signal.param == SIGINT ? "SIGINT"
                                                                       : "SIGHUP");
                         });

TEST_F(RealWindow, KeysAndTheFocusMark) {
  RealProgram program;
  const QRect outer = window::toPixels(window::kControls[0].place);
  const auto innerFrameLine = [&] {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, outer.x() + 1, outer.center().y(), 1, 1)
        .toImage()
        .pixel(0, 0);
  };
  EXPECT_FALSE(isHighlight(innerFrameLine())) << "a focus mark at start-up";

  // Swatch 0 (white) clicked: the focus, but no ring. Tab: swatch 1 (navy) has the ring.
  const QPoint swatches = surfaceRect().topLeft();
  const auto swatchRing = [&](int x) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, swatches.x() + x + 2, swatches.y() + 12, 1, 1)
        .toImage()
        .pixel(0, 0);
  };
  click(swatches + QPoint(13, 13));
  QTest::qWait(300);
  EXPECT_FALSE(isHighlight(swatchRing(0))) << "a ring after a click";
  xdotool({"key", "Tab"});
  QTest::qWait(300);
  EXPECT_TRUE(isHighlight(swatchRing(5 * 25))) << "no ring after Tab";

  // On through the other swatches to the drawing surface, marked now, and on to the angle bar.
  xdotool(tabsFrom(window::Control::Picture2_1, window::Control::Picture1));
  QTest::qWait(300);
  EXPECT_TRUE(isHighlight(innerFrameLine())) << "no mark on the surface after Tab";
  xdotool(tabsFrom(window::Control::Picture1, window::Control::hscParameter4));

  pattern::ParameterSet p{600, 2, 20, 0, 137.5};
  constexpr platform::OleColor kWhite = 0x00FFFFFF;
  struct KeyCase {
    const char* key;
    int angle;  // hundredths of a degree after the key
  };
  for (const KeyCase& c : {KeyCase{"Right", 13751}, KeyCase{"Down", 13752}, KeyCase{"Left", 13751},
                           KeyCase{"Up", 13750}, KeyCase{"Next", 13760}, KeyCase{"Prior", 13750},
                           KeyCase{"End", 18000}, KeyCase{"Home", 0}}) {
    xdotool({"key", c.key});
    p.DivergenceAngle = c.angle / 100.0;
    double share = 0;
    EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share))
        << c.key << " should show " << c.angle << ": " << share;
  }

  // Tab to "löschen"; Return clears the surface.
  xdotool(tabsFrom(window::Control::hscParameter4, window::Control::Command2) << "Return");
  QImage white(surfaceRect().size(), QImage::Format_RGB32);
  white.fill(Qt::white);
  double share = 0;
  EXPECT_TRUE(program.shows(white, &share)) << "Return on löschen: " << share;
}

bool isWhite(QRgb c) {
  return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

// After the window has grown from its small start size, at every screen scale: the sunken frame
// of the drawing surface is whole on all four sides, and sketch dots are gone after a redraw
// (nothing stale is left on the screen where only a part was repainted).
class RealWindowAtScale : public testing::TestWithParam<double> {
 protected:
  void SetUp() override {
    if (!gSkipReason.isEmpty()) GTEST_SKIP() << gSkipReason.toStdString();
  }
};

TEST_P(RealWindowAtScale, FrameIsWholeAndRedrawLeavesNoSketchBehind) {
  const double scale = GetParam();
  RealProgram program(scale);
  const auto device = [scale](QPoint logical) {
    return QPoint(qRound(logical.x() * scale), qRound(logical.y() * scale));
  };
  const QRect outer = window::toPixels(window::kControls[0].place);
  const QRect deviceOuter(device(outer.topLeft()),
                          QSize(int(outer.width() * scale), int(outer.height() * scale)));
  QTest::qWait(500);
  const QImage shot = screenPixels(deviceOuter);

  // The frame: every line of it runs the whole length of its edge, unbroken (an inner line that
  // stops where the window was first cut off is what a stale partial paint looks like).
  const int frame = std::max(1, int(std::lround(2 * scale)));
  const int outerLine = std::max(1, frame / 2);
  const int w = shot.width();
  const int h = shot.height();
  const QRgb darkTop = shot.pixel(w / 2, outerLine);
  const QRgb lightBottom = shot.pixel(w / 2, h - 1);
  EXPECT_LT(qGray(darkTop), 160);
  EXPECT_GT(qGray(lightBottom), qGray(darkTop));
  for (int line = 0; line < frame; ++line) {
    for (int x = frame; x < w - frame; ++x) {
      ASSERT_EQ(shot.pixel(x, line), shot.pixel(w / 2, line))
          << "top edge, line " << line << " at " << x << ", scale " << scale;
      ASSERT_EQ(shot.pixel(x, h - 1 - line), shot.pixel(w / 2, h - 1 - line))
          << "bottom edge, line " << line << " at " << x << ", scale " << scale;
    }
    for (int y = frame; y < h - frame; ++y) {
      ASSERT_EQ(shot.pixel(line, y), shot.pixel(line, h / 2))
          << "left edge, line " << line << " at " << y << ", scale " << scale;
      ASSERT_EQ(shot.pixel(w - 1 - line, y), shot.pixel(w - 1 - line, h / 2))
          << "right edge, line " << line << " at " << y << ", scale " << scale;
    }
  }

  // Black background, a few sketch dots, then "zeigen": no white rim may stay.
  const QPoint swatches = surfaceRect().topLeft();
  const auto clickLogical = [&](QPoint p) { click(device(p)); };
  clickLogical(swatches + QPoint(2 * 25 + 13, 13));
  std::vector<QPoint> sketch;
  for (int k = 0; k <= 3; ++k) sketch.push_back(device(surfacePoint(-60 + 15 * k, 70)));
  dragThrough(sketch);
  QTest::qWait(400);
  const auto whiteNear = [&](const QImage& image, int k) {
    const QPoint dot = device(surfacePoint(-60 + 15 * k, 70)) - deviceOuter.topLeft();
    const int reach = qRound(5 * scale);
    for (int dy = -reach; dy <= reach; ++dy) {
      for (int dx = -reach; dx <= reach; ++dx) {
        if (isWhite(image.pixel(dot + QPoint(dx, dy)))) return true;
      }
    }
    return false;
  };
  const QImage sketched = screenPixels(deviceOuter);
  for (int k = 1; k <= 3; ++k) EXPECT_TRUE(whiteNear(sketched, k)) << "no dot " << k;
  clickLogical(centreOf("Command1"));
  QTest::qWait(600);
  const QImage redrawn = screenPixels(deviceOuter);
  for (int k = 1; k <= 3; ++k) EXPECT_FALSE(whiteNear(redrawn, k)) << "dot " << k << " stayed";
  EXPECT_EQ(redrawn.pixel(w / 2, outerLine), darkTop) << "the redraw painted over the frame";
}

INSTANTIATE_TEST_SUITE_P(Scales, RealWindowAtScale, testing::Values(1.0, 1.5, 2.0),
                         [](const testing::TestParamInfo<double>& scaleInfo) {
                           return "x" + std::to_string(int(scaleInfo.param * 100));
                         });

}  // namespace

int main(int argc, char** argv) {
  // Listing the tests needs no display.
  const bool listing = argc > 1 && std::strcmp(argv[1], "--gtest_list_tests") == 0;
  std::optional<Xvfb> xvfb;
  if (listing) {
    gSkipReason = QStringLiteral("listing only");
  } else {
    xvfb.emplace(2200, 1500);
    gSkipReason = xvfb->skipReason();
  }
  qputenv("QT_QPA_PLATFORM", gSkipReason.isEmpty() ? "xcb" : "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
