// SPDX-License-Identifier: GPL-3.0-or-later
// Redraw cost: the program's renderer into the drawing surface's canvas, on one thread and on all
// cores, against drawing every circle in order (the tests' reference) and the straightforward
// QPainter drawing of the same circles; and one whole animation turn.
#include "pattern/renderer.h"
#include "raster/canvas.h"
#include "support/every_circle.h"
#include "support/main_surface.h"
#include "support/reference_drawing.h"
#include "window/form1.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

struct Case {
  const char* name;
  double row0;  // points per band
  double size;
  double radiusStep = 20;
  bool heavy = false;  // also timed on one thread, and against the plain loop
};

constexpr Case kCases[] = {{"n200", 200, 2},
                           {"n2000", 2000, 2},
                           {"n200000", 200000, 2},
                           {"n2000_S20", 2000, 20},
                           {"n1e9", 1e9, 2},
                           {"dense6M", 2000000, 2, 0.001, true},
                           {"n2000_r1_S500", 2000, 500, 1, true},
                           {"big_circles", 7000, 600, 0.1, true},
                           // Circles of 2 units filling the square, the animation's heavy cases.
                           {"fill60k", 20000, 2, 10000.0 / 60000, true},
                           {"fill600k", 200000, 2, 10000.0 / 600000, true}};

pattern::ParameterSet parametersOf(const Case& c) {
  return {c.row0 * 3, c.size, c.radiusStep, 0, 137.5};
}

void redraw(benchmark::State& state, const Case& c, int strips) {
  platform::Canvas canvas = mainSurface();
  const pattern::ParameterSet p = parametersOf(c);
  for (auto _ : state) {
    pattern::drawPattern(p, canvas, {nullptr, strips});
    benchmark::DoNotOptimize(canvas.drawing().constBits());
  }
}

void everyCircle(benchmark::State& state, const Case& c) {
  platform::Canvas canvas = mainSurface();
  const pattern::ParameterSet p = parametersOf(c);
  for (auto _ : state) {
    reference::drawEveryCircle(p, canvas);
    benchmark::DoNotOptimize(canvas.drawing().constBits());
  }
}

void plainQPainter(benchmark::State& state, const Case& c) {
  QImage image(685, 685, QImage::Format_ARGB32_Premultiplied);
  const pattern::ParameterSet p = parametersOf(c);
  for (auto _ : state) {
    image.fill(Qt::transparent);
    drawReferencePattern(p, image);
    benchmark::DoNotOptimize(image.constBits());
  }
}

// The positions of the 600,002 circles that fill the square: the renderer's, and the formula's
// for each point narrowed to single precision.
constexpr double kFillStep = 10000.0 / 600000;

void fastPositions(benchmark::State& state) {
  std::vector<platform::Disc> discs(600000);
  for (auto _ : state) {
    pattern::discsAlong(1, 600000, 137.5, kFillStep, 0, discs.data());
    benchmark::DoNotOptimize(discs.data());
  }
}

void formulaPositions(benchmark::State& state) {
  std::vector<platform::Disc> discs(600000);
  for (auto _ : state) {
    double i = 1;
    for (platform::Disc& disc : discs) {
      const pattern::PointPosition p = pattern::pointAt(i, 137.5, kFillStep);
      disc = {pattern::toSingle(p.x), pattern::toSingle(p.y), 0};
      i += 1;
    }
    benchmark::DoNotOptimize(discs.data());
  }
}

void animationTurn(benchmark::State& state) {
  window::Form1 form;
  form.txtParameter[3]->assignText(QStringLiteral("400"));
  for (auto _ : state) form.animationTurn();
}

void add(const std::string& name, auto function, auto... args) {
  benchmark::RegisterBenchmark(name.c_str(), function, args...)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  for (const Case& c : kCases) {
    const std::string name = c.name;
    add("Redraw/" + name, redraw, c, 0);
    add("Redraw/" + name + "/one_thread", redraw, c, 1);
  }
  for (const Case& c : kCases) {
    if (!c.heavy) continue;
    add(std::string("EveryCircle/") + c.name, everyCircle, c);
    add(std::string("PlainQPainter/") + c.name, plainQPainter, c);
  }
  add("Positions/fill600k", fastPositions);
  add("Positions/fill600k/formula", formulaPositions);
  benchmark::RegisterBenchmark("AnimationTurn/speed400", animationTurn)
      ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
