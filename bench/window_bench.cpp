// SPDX-License-Identifier: GPL-3.0-or-later
// The real window, as the user sees it: the program and a naive peer (naive_peer.cpp) animate the
// start pattern at full speed under a private Xvfb display, one after the other in each
// repetition. Counters: steps per second of each, their ratio, the program's CPU time per step
// (from /proc) and its start-up time to the first visible pattern.
//
// How soon a click shows: a press on the right arrow of the angle bar (row 4), sent through XTest,
// to the first changed pixel of the drawing surface, for the program and for the peer with a
// scroll bar at the same place; the median of 21 presses.
//
// Besides the start values, the pattern filling the square with 602, 6,002, 60,002 and 600,002
// circles (row 1 = 2, row 2 = 10000 / (3 x row 0)), at scale 1, without the click: the peer takes
// up to seconds a step.
//
// Steps of the program are read from its angle box (row 4) through the clipboard (xclip) before
// "lauf" and after "stop", a measured time apart; a run of more than 17,997 steps in that time
// would wrap unseen, so the fastest loads are measured for half a second only.
#include "support/xvfb.h"
#include "window/layout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kAngleCycle = 17997;  // the angle bar's values 0 to 17996

// What is animated: rows 0 to 2 (empty texts keep the start values) and for how long.
struct Load {
  const char* name;
  QString row0;
  QString row1;
  QString row2;
  double seconds;
  bool clicks;  // also how soon a click shows
};

double gScale = 1;

void pump(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
}

int xdotool(const QStringList& arguments, QString* output = nullptr) {
  QProcess process;
  process.start(QStringLiteral("xdotool"), arguments);
  process.waitForFinished(15000);
  if (output) *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
  return process.exitCode();
}

QPoint deviceCentre(window::Control control) {
  const QPoint c = window::toPixels(window::definitionOf(control).place).center();
  return {qRound(c.x() * gScale), qRound(c.y() * gScale)};
}

void click(window::Control control) {
  const QPoint p = deviceCentre(control);
  xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

// User and system time of a process, in seconds.
double cpuSeconds(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return 0;
  const QByteArray line = stat.readAll();
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

// The number in the focused box, copied to the clipboard and read back with xclip.
int copiedNumber() {
  xdotool({"key", "ctrl+a", "ctrl+c"});
  QProcess xclip;
  xclip.start(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"});
  xclip.waitForFinished(5000);
  bool ok = false;
  const int value = QString::fromUtf8(xclip.readAllStandardOutput()).trimmed().toInt(&ok);
  return ok ? value : -1;
}

// A press or release of the left button at a screen position, as the window system's own input.
void fakeButton(bool press, QPoint at) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11->connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root,
                      static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()), 0);
  xcb_test_fake_input(connection, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1,
                      XCB_CURRENT_TIME, root, 0, 0, 0);
  xcb_flush(connection);
}

QImage screenArea(const QRect& area) {
  return QApplication::primaryScreen()
      ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
      .toImage();
}

// Median milliseconds from a press at `arrow` to the first change in `area` (device pixels).
double clickLatencyMs(QPoint arrow, const QRect& area) {
  std::vector<double> samples;
  for (int k = 0; k < 21; ++k) {
    const QImage before = screenArea(area);
    QElapsedTimer timer;
    timer.start();
    fakeButton(true, arrow);
    double shown = -1;
    while (timer.elapsed() < 1000) {
      if (screenArea(area) != before) {
        shown = timer.nsecsElapsed() / 1e6;
        break;
      }
    }
    fakeButton(false, arrow);
    if (shown >= 0) samples.push_back(shown);
    pump(150);
  }
  if (samples.empty()) return -1;
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return samples[samples.size() / 2];
}

// The right arrow of the angle bar, and a square of the surface round user point (0, 55) where
// each step moves circles by pixels: in device pixels, for a surface whose inner area starts at
// `surfaceTopLeft` (window pixels) and is 685 pixels wide.
QPoint angleArrow() {
  const QRect bar = window::toPixels(window::definitionOf(window::Control::hscParameter4).place);
  return QPoint(qRound((bar.right() - 6) * gScale), qRound(bar.center().y() * gScale));
}

QRect latencyArea(QPoint surfaceTopLeft) {
  const double perUnit = 685 / 200.0;
  const QPointF centre = QPointF(surfaceTopLeft) + QPointF(100, 155) * perUnit;
  const QPointF half(15 * perUnit, 15 * perUnit);
  return QRectF((centre - half) * gScale, (centre + half) * gScale).toAlignedRect();
}

struct ProgramRun {
  double stepsPerSecond = 0;
  double cpuMsPerStep = 0;
  double startupMs = 0;
  double clickMs = 0;
};

ProgramRun runProgram(benchmark::State& state, const Load& load) {
  ProgramRun result;
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(gScale));
  program.setProcessEnvironment(environment);
  QElapsedTimer startup;
  startup.start();
  program.start(QStringLiteral(QUIRLBILD_EXECUTABLE), {});
  QString id;
  xdotool({"search", "--sync", "--onlyvisible", "--name", "^Quirlbild$"}, &id);
  const QString windowId = id.section('\n', 0, 0);
  xdotool({"windowmove", windowId, "0", "0"});
  // The first visible pattern: blue or yellow circles in the part of the surface that the
  // window shows at its start size.
  const QRect visible(QPoint(10, 18) * gScale, QPoint(300, 200) * gScale);
  const auto bandColour = [](QRgb c) {
    return (qBlue(c) > 150 && qRed(c) < 80 && qGreen(c) < 80) ||
           (qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80);
  };
  for (bool shown = false; !shown && startup.elapsed() < 10000;) {
    const QImage shot =
        QApplication::primaryScreen()
            ->grabWindow(0, visible.x(), visible.y(), visible.width(), visible.height())
            .toImage();
    for (int y = 0; y < shot.height() && !shown; ++y) {
      for (int x = 0; x < shot.width() && !shown; ++x) shown = bandColour(shot.pixel(x, y));
    }
  }
  result.startupMs = startup.elapsed();

  xdotool({"windowsize", windowId, QString::number(qRound(1040 * gScale)),
           QString::number(qRound(720 * gScale))});
  pump(300);
  const QRect surface = window::toPixels(window::definitionOf(window::Control::Picture1).place);
  if (load.clicks) {
    result.clickMs = clickLatencyMs(angleArrow(), latencyArea(surface.topLeft() + QPoint(2, 2)));
  }
  const auto typeInto = [](window::Control box, const QString& text) {
    if (text.isEmpty()) return;
    click(box);
    xdotool({"key", "ctrl+a"});
    xdotool({"type", text});
  };
  // Row 2 first, so that no drawing on the way has many circles far apart.
  typeInto(window::Control::txtParameter2, load.row2);
  typeInto(window::Control::txtParameter1, load.row1);
  typeInto(window::Control::txtParameter0, load.row0);
  typeInto(window::Control::txtParameter3, QStringLiteral("400"));
  pump(500);
  // The angle box is read while the animation rests: while it runs, every step replaces the
  // text and with it any selection.
  click(window::Control::txtParameter4);
  pump(100);
  const int first = copiedNumber();
  QElapsedTimer timer;
  click(window::Control::Command3);  // lauf
  timer.start();
  const double cpu0 = cpuSeconds(program.processId());
  pump(static_cast<int>(load.seconds * 1000));
  click(window::Control::Command4);  // stop: the run ends after one more step
  const double elapsed = timer.elapsed() / 1000.0;
  const double cpu1 = cpuSeconds(program.processId());
  pump(300);
  click(window::Control::txtParameter4);
  pump(100);
  const int last = copiedNumber() - 1;
  if (qEnvironmentVariableIsSet("QUIRLBILD_BENCH_VERBOSE")) {
    std::fprintf(stderr, "angle %d -> %d in %.2f s\n", first, last, elapsed);
  }
  if (first < 0 || last < 0) state.SkipWithError("the angle box could not be read");
  const int steps = ((last - first) % kAngleCycle + kAngleCycle) % kAngleCycle;
  result.stepsPerSecond = steps / elapsed;
  result.cpuMsPerStep = steps > 0 ? (cpu1 - cpu0) * 1000 / steps : 0;
  program.kill();
  program.waitForFinished(5000);
  return result;
}

struct PeerRun {
  double stepsPerSecond = 0;
  double cpuMsPerStep = 0;
  double clickMs = 0;
};

// The peer with a scroll bar where the program has its angle bar: how soon its click shows.
double peerClickMs() {
  const QRect bar = window::toPixels(window::definitionOf(window::Control::hscParameter4).place);
  QProcess peer;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(gScale));
  peer.setProcessEnvironment(environment);
  peer.start(QStringLiteral(QUIRLBILD_PEER),
             {"--bar", QString::number(bar.x()), QString::number(bar.y()),
              QString::number(bar.width()), QString::number(bar.height())});
  QString id;
  xdotool({"search", "--sync", "--onlyvisible", "--name", "^naive peer$"}, &id);
  xdotool({"windowmove", id.section('\n', 0, 0), "0", "0"});
  pump(500);
  const double ms = clickLatencyMs(angleArrow(), latencyArea(QPoint(10, 10)));
  peer.kill();
  peer.waitForFinished(5000);
  return ms;
}

PeerRun runPeer(const Load& load) {
  QProcess peer;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(gScale));
  peer.setProcessEnvironment(environment);
  const double seconds = load.seconds + 0.8;
  QStringList arguments{QString::number(seconds)};
  if (!load.row0.isEmpty()) arguments << load.row0 << load.row1 << load.row2;
  peer.start(QStringLiteral(QUIRLBILD_PEER), arguments);
  peer.waitForFinished(120000);
  const QList<QByteArray> fields = peer.readAllStandardOutput().trimmed().split(' ');
  const double steps = fields.value(0).toDouble();
  const double cpu = fields.value(1).toDouble();
  const double elapsed = fields.value(2).toDouble();
  return {elapsed > 0 ? steps / elapsed : 0, steps > 0 ? cpu * 1000 / steps : 0};
}

void windowPaired(benchmark::State& state, double scale, const Load& load) {
  gScale = scale;
  ProgramRun program;
  PeerRun peer;
  for (auto _ : state) {
    program = runProgram(state, load);
    peer = runPeer(load);
    if (load.clicks) peer.clickMs = peerClickMs();
  }
  state.counters["program_steps_per_s"] = program.stepsPerSecond;
  state.counters["peer_steps_per_s"] = peer.stepsPerSecond;
  state.counters["ratio"] =
      peer.stepsPerSecond > 0 ? program.stepsPerSecond / peer.stepsPerSecond : 0;
  state.counters["program_cpu_ms_per_step"] = program.cpuMsPerStep;
  state.counters["peer_cpu_ms_per_step"] = peer.cpuMsPerStep;
  state.counters["program_startup_ms"] = program.startupMs;
  if (!load.clicks) return;
  state.counters["program_click_ms"] = program.clickMs;
  state.counters["peer_click_ms"] = peer.clickMs;
  state.counters["click_ratio"] = peer.clickMs > 0 ? program.clickMs / peer.clickMs : 0;
}

// Half a second for the loads that step fastest: their steps stay below a turn of the angle bar
// up to 36,000 steps a second.
const Load kStart{"", {}, {}, {}, 0.5, true};
const Load kFilled[] = {
    {"fill602", QStringLiteral("200"), QStringLiteral("2"), QStringLiteral("16.666666667"), 0.5,
     false},
    {"fill6k", QStringLiteral("2000"), QStringLiteral("2"), QStringLiteral("1.6666666667"), 1.0,
     false},
    {"fill60k", QStringLiteral("20000"), QStringLiteral("2"), QStringLiteral("0.16666666667"), 2.0,
     false},
    {"fill600k", QStringLiteral("200000"), QStringLiteral("2"), QStringLiteral("0.016666666667"),
     3.0, false},
};

}  // namespace

int main(int argc, char** argv) {
  std::optional<Xvfb> xvfb;
  xvfb.emplace(2200, 1500);
  if (!xvfb->skipReason().isEmpty()) {
    std::printf("window benchmark skipped: %s\n", qPrintable(xvfb->skipReason()));
    return 0;
  }
  if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
    std::printf("window benchmark skipped: xclip is not installed (scripts/install-deps)\n");
    return 0;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  for (const double scale : {1.0, 2.0}) {
    benchmark::RegisterBenchmark(scale == 1 ? "Window/scale1" : "Window/scale2", windowPaired,
                                 scale, kStart)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  for (const Load& load : kFilled) {
    benchmark::RegisterBenchmark((std::string("Window/scale1/") + load.name).c_str(), windowPaired,
                                 1.0, load)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  // Five paired repetitions unless the command line says otherwise.
  std::vector<char*> arguments(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5";
  arguments.insert(arguments.begin() + 1, repetitions.data());
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
