// SPDX-License-Identifier: GPL-3.0-or-later
// Posters: drawing one afresh at 4096 and 16384 pixels a side, on one thread and on all cores,
// and packing it into PNG; and the SVG of the same pattern. Counters: seconds of drawing and of
// packing, and the files' sizes in megabytes.
#include "picturefile/picturefile.h"
#include "support/main_surface.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct Case {
  const char* name;
  pattern::ParameterSet parameters;
};

const Case kCases[] = {{"start", {600, 2, 20, 0, 137.5}},
                       {"dense6M", {6000000, 2, 0.001, 0, 137.5}}};

void poster(benchmark::State& state, const Case& c, int side, int strips) {
  const platform::Canvas surface = mainSurface();
  double drawSeconds = 0;
  double packSeconds = 0;
  qint64 bytes = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    const QImage image = picturefile::drawPoster(c.parameters, surface, side, {nullptr, strips});
    drawSeconds = timer.nsecsElapsed() / 1e9;
    if (image.isNull()) {
      state.SkipWithError("no memory for the poster");
      return;
    }
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    timer.restart();
    picturefile::writePng(file, image);
    packSeconds = timer.nsecsElapsed() / 1e9;
    bytes = file.data().size();
  }
  state.counters["draw_s"] = drawSeconds;
  state.counters["png_s"] = packSeconds;
  state.counters["png_MB"] = bytes / 1e6;
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
    benchmark::RegisterBenchmark((std::string("Svg/") + c.name).c_str(), svg, c)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
