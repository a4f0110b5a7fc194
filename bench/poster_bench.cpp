// SPDX-License-Identifier: GPL-3.0-or-later
// Posters: a PNG of 4096 and 16384 pixels a side drawn and packed band by band, on one thread and
// on all cores, against Qt's own QImageWriter writing the same picture in the same run; how soon a
// cancel stops a poster; and the SVG of the same pattern. Counters: seconds in all, of drawing and
// of packing (which overlap), the share of Qt's writer's time, peak memory above what the process
// held when idle, and the files' sizes in megabytes.
#include "picturefile/picturefile.h"
#include "support/main_surface.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace {

struct Case {
  const char* name;
  pattern::ParameterSet parameters;
};

const Case kCases[] = {{"start", {600, 2, 20, 0, 137.5}},
                       {"dense6M", {6000000, 2, 0.001, 0, 137.5}}};

// Resident memory in megabytes: now, and the most since the last resetPeak() (Linux's VmRSS and
// VmHWM). Peaks are told above what the process held when it was idle, at its start.
double residentMegabytes(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(field))
      return line.mid(static_cast<int>(qstrlen(field))).trimmed().split(' ')[0].toDouble() / 1024;
  }
  return 0;
}
double idleMegabytes = 0;
void resetPeak() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// Qt's QImageWriter writing the poster, drawn whole, as PNG at its default settings, once for each
// case and side: the yardstick. Its seconds, and its peak memory above the idle process, the
// picture's included.
struct QtWriter {
  double seconds = 0;
  double peakMegabytes = 0;
};
QtWriter qtWriter(const Case& c, int side) {
  static std::map<std::pair<const Case*, int>, QtWriter> measured;
  const auto key = std::pair(&c, side);
  if (const auto found = measured.find(key); found != measured.end()) return found->second;
  resetPeak();
  QtWriter result;
  {
    const QImage image = picturefile::drawPoster(c.parameters, mainSurface(), side, {});
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    QElapsedTimer timer;
    timer.start();
    QImageWriter(&file, "png").write(image);
    result.seconds = timer.nsecsElapsed() / 1e9;
  }
  result.peakMegabytes = residentMegabytes("VmHWM:") - idleMegabytes;
  return measured[key] = result;
}

void poster(benchmark::State& state, const Case& c, int side, int strips) {
  const platform::Canvas surface = mainSurface();
  const QtWriter qt = qtWriter(c, side);
  picturefile::PosterWork work;
  double seconds = 0;
  double peakAbove = 0;
  qint64 bytes = 0;
  for (auto _ : state) {
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    resetPeak();
    work = {};
    QElapsedTimer timer;
    timer.start();
    const picturefile::WriterResult result =
        picturefile::writePngPoster(file, c.parameters, surface, side, {nullptr, strips, 0, &work});
    seconds = timer.nsecsElapsed() / 1e9;
    peakAbove = residentMegabytes("VmHWM:") - idleMegabytes;
    if (!result.ok) {
      state.SkipWithError("the poster was not written");
      return;
    }
    bytes = file.data().size();
  }
  state.counters["total_s"] = seconds;
  state.counters["draw_s"] = work.drawSeconds;
  state.counters["pack_s"] = work.packSeconds;
  state.counters["qt_writer_s"] = qt.seconds;
  state.counters["of_qt_writer"] = seconds / qt.seconds;
  state.counters["peak_MB"] = peakAbove;
  state.counters["qt_peak_MB"] = qt.peakMegabytes;
  state.counters["png_MB"] = bytes / 1e6;
}

// Cancels a poster once `share` of it is done: how long the poster then takes to return, and the
// longest wait between two looks at the monitor before it, which together bound how soon the
// window acts on "Abbrechen".
class CancelAt : public pattern::DrawMonitor {
 public:
  explicit CancelAt(double share) : share_(share) { sinceLast_.start(); }
  bool keepGoing(double done) override {
    longestGap = std::max(longestGap, sinceLast_.nsecsElapsed() / 1e6);
    sinceLast_.restart();
    if (done < share_) return true;
    cancelled_.start();
    return false;
  }
  double msSinceCancel() const { return cancelled_.nsecsElapsed() / 1e6; }
  double longestGap = 0;

 private:
  double share_;
  QElapsedTimer sinceLast_;
  QElapsedTimer cancelled_;
};

void cancel(benchmark::State& state, const Case& c, double share) {
  const platform::Canvas surface = mainSurface();
  double stopMs = 0;
  double gapMs = 0;
  for (auto _ : state) {
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    CancelAt monitor(share);
    picturefile::writePngPoster(file, c.parameters, surface, 16384, {&monitor, 0});
    stopMs = monitor.msSinceCancel();
    gapMs = monitor.longestGap;
  }
  state.counters["stop_ms"] = stopMs;
  state.counters["longest_gap_ms"] = gapMs;
}

void svg(benchmark::State& state, const Case& c) {
  const platform::Canvas surface = mainSurface();
  qint64 bytes = 0;
  for (auto _ : state) {
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    picturefile::writeSvg(file, c.parameters, surface, 4096, nullptr);
    bytes = file.data().size();
  }
  state.counters["svg_MB"] = bytes / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  idleMegabytes = residentMegabytes("VmRSS:");
  for (const Case& c : kCases) {
    for (const int side : {4096, 16384}) {
      for (const int strips : {1, 0}) {
        const std::string name = std::string("Poster/") + c.name + "/" + std::to_string(side) +
                                 (strips == 1 ? "/one_thread" : "/all_cores");
        benchmark::RegisterBenchmark(name.c_str(), poster, c, side, strips)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
      }
    }
    for (const double share : {0.1, 0.5, 0.9}) {
      const std::string name = std::string("PosterCancel/") + c.name + "/16384/at" +
                               std::to_string(static_cast<int>(share * 100)) + "%";
      benchmark::RegisterBenchmark(name.c_str(), cancel, c, share)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark((std::string("Svg/") + c.name).c_str(), svg, c)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
