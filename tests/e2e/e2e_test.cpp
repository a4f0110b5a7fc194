// The real program in a real window: a private Xvfb display, clicks and keys sent through the
// window system with xdotool, and screenshots of the drawing surface compared with what the
// program's own renderer draws offscreen for the same parameters.
#include "layout.h"
#include "picturebox.h"
#include "renderer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstring>
#include <optional>

namespace {

QString gSkipReason;  // set when no display can be had

constexpr int kWidth = 1040;  // the window enlarged so that every control shows
constexpr int kHeight = 720;
// The program draws with the same renderer as the expectation, so the pictures agree to the
// pixel; this leaves room for a few stray pixels only.
constexpr double kTolerance = 0.00005;

// Centre of a control of the window definition, in window pixels.
QPoint centreOf(const char* name, int index = -1) {
  for (const window::ControlDef& def : window::kControls) {
    if (std::strcmp(def.name, name) == 0 && def.index == index) {
      return window::toPixels(def.place).center();
    }
  }
  ADD_FAILURE() << "no control " << name;
  return {};
}

// Picture1's inner area in window pixels (inside its 2-pixel border).
QRect surfaceRect() {
  return window::toPixels(window::kControls[0].place).adjusted(2, 2, -2, -2);
}

// A point on the drawing surface, in window pixels, for user coordinates (x, y).
QPoint surfacePoint(double x, double y) {
  const QRect r = surfaceRect();
  return {r.left() + static_cast<int>((x + 100) * r.width() / 200),
          r.top() + static_cast<int>((y + 100) * r.height() / 200)};
}

int run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(15000)) return -1;
  if (output) *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
  return process.exitCode();
}

void xdotool(const QStringList& arguments) {
  EXPECT_EQ(run(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
}

void click(QPoint p) {
  xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

// What the drawing surface should show: the pattern for `p` on `background`.
QImage expectedSurface(const pattern::ParameterSet& p, platform::OleColor background) {
  platform::PictureBox box(platform::PictureBox::Border::Sunken3D);
  box.setGeometry(window::toPixels(window::kControls[0].place));
  box.Scale(-100, -100, 100, 100);
  box.setFillSolid(true);
  pattern::drawPattern(p, box);
  QImage shown(surfaceRect().size(), QImage::Format_RGB32);
  shown.fill(platform::toQColor(background));
  QPainter painter(&shown);
  QImage drawing = box.drawing();
  drawing.setDevicePixelRatio(1);
  painter.drawImage(0, 0, drawing);
  return shown;
}

// Share of surface pixels that differ clearly, leaving out the swatch strip in the top-left.
double differingShare(const QImage& shown, const QImage& expected, int step = 1) {
  const QRect swatches(0, 0, 2 + 7 * 25 + 2, 28);
  int differing = 0;
  int counted = 0;
  for (int y = 0; y < expected.height(); y += step) {
    for (int x = 0; x < expected.width(); x += step) {
      if (swatches.contains(x, y)) continue;
      const QRgb a = shown.pixel(x, y);
      const QRgb b = expected.pixel(x, y);
      ++counted;
      differing += std::abs(qRed(a) - qRed(b)) > 32 || std::abs(qGreen(a) - qGreen(b)) > 32 ||
                   std::abs(qBlue(a) - qBlue(b)) > 32;
    }
  }
  return static_cast<double>(differing) / counted;
}

class RealProgram {
 public:
  RealProgram() {
    process_.start(QStringLiteral(QUIRLBILD_EXECUTABLE), {});
    EXPECT_TRUE(process_.waitForStarted(10000));
    QString id;
    EXPECT_EQ(
        run(QStringLiteral("timeout"),
            {"10", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quirlbild$"}, &id),
        0);
    window_ = id.section('\n', 0, 0);
    xdotool({"windowmove", window_, "0", "0"});
    xdotool({"windowsize", window_, QString::number(kWidth), QString::number(kHeight)});
    QTest::qWait(300);
  }
  ~RealProgram() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  QString windowId() const { return window_; }

  QImage surface() const {
    const QRect r = surfaceRect();
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

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
  QStringList sketch{"mousemove", QString::number(surfacePoint(-80, 60).x()),
                     QString::number(surfacePoint(-80, 60).y()), "mousedown", "1"};
  for (int k = 1; k <= 4; ++k) {
    const QPoint dot = surfacePoint(-80 + 10 * k, 60);
    sketch << "sleep"
           << "0.1"
           << "mousemove" << QString::number(dot.x()) << QString::number(dot.y());
  }
  sketch << "mouseup"
         << "1";
  xdotool(sketch);
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
  int bestAngle = -1;
  double bestShare = 1;
  for (int angle = 13801; angle < 18000; ++angle) {
    pattern::ParameterSet candidate = p;
    candidate.DivergenceAngle = angle / 100.0;
    const double s = differingShare(stopped, expectedSurface(candidate, kBlack), 3);
    if (s < bestShare) {
      bestShare = s;
      bestAngle = angle;
    }
    if (s <= kTolerance) break;
  }
  EXPECT_LE(bestShare, kTolerance) << "the stopped picture matches no angle; best " << bestAngle;

  click(centreOf("Command5"));  // beenden
  EXPECT_TRUE(program.exitsWithin(5000)) << "the program did not end";
  EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(RealWindow, ClosingTheWindowDuringARunEndsTheProgram) {
  RealProgram program;
  click(centreOf("Command3"));
  QTest::qWait(700);
  sendCloseRequest(program.windowId());
  EXPECT_TRUE(program.exitsWithin(5000)) << "the program still runs after its window closed";
  EXPECT_EQ(program.exitCode(), 0);
}

// A private X display for this run, or the reason why there is none.
class Xvfb {
 public:
  Xvfb() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
      gSkipReason = QStringLiteral("Xvfb or xdotool is not installed (scripts/install-deps)");
      return;
    }
    for (int display = 71; display < 120; ++display) {
      if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
          QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) {
        continue;
      }
      server_.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(display), "-screen", "0",
                                             "1280x1024x24", "-nolisten", "tcp"});
      if (!server_.waitForStarted(5000)) break;
      for (int k = 0; k < 100; ++k) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
          qputenv("DISPLAY", QStringLiteral(":%1").arg(display).toLatin1());
          return;
        }
        QTest::qSleep(50);
      }
      server_.kill();
      server_.waitForFinished();
    }
    gSkipReason = QStringLiteral("Xvfb did not start");
  }
  ~Xvfb() {
    server_.terminate();
    server_.waitForFinished(5000);
  }

 private:
  QProcess server_;
};

}  // namespace

int main(int argc, char** argv) {
  // Listing the tests needs no display.
  const bool listing = argc > 1 && std::strcmp(argv[1], "--gtest_list_tests") == 0;
  std::optional<Xvfb> xvfb;
  if (listing) {
    gSkipReason = QStringLiteral("listing only");
  } else {
    xvfb.emplace();
  }
  qputenv("QT_QPA_PLATFORM", gSkipReason.isEmpty() ? "xcb" : "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
