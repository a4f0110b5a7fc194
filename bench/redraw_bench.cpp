// SPDX-License-Identifier: GPL-3.0-or-later
// Redraw cost: the program's renderer into the real picture box against the straightforward
// QPainter drawing of the same circles, and one whole animation turn.
#include "form1.h"
#include "picturebox.h"
#include "renderer.h"
#include "support/reference_drawing.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

struct Case {
  const char* name;
  double row0;  // points per band
  double size;
  double radiusStep = 20;
};

constexpr Case kCases[] = {{"n200", 200, 2},
                           {"n2000", 2000, 2},
                           {"n200000", 200000, 2},
                           {"n2000_S20", 2000, 20},
                           {"n1e9", 1e9, 2},
                           {"dense6M", 2000000, 2, 0.001},
                           {"n2000_r1_S500", 2000, 500, 1}};

pattern::ParameterSet parametersOf(const Case& c) {
  return {c.row0 * 3, c.size, c.radiusStep, 0, 137.5};
}

void redraw(benchmark::State& state, const Case& c) {
  // The main drawing surface at its real size: 689 pixels with its border, 685 inside.
  platform::PictureBox box(platform::PictureBox::Border::Sunken3D);
  box.setGeometry(0, 0, 689, 689);
  box.Scale(-100, -100, 100, 100);
  box.setFillSolid(true);
  const pattern::ParameterSet p = parametersOf(c);
  for (auto _ : state) {
    pattern::drawPattern(p, box);
    benchmark::DoNotOptimize(box.drawing().constBits());
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

void animationTurn(benchmark::State& state) {
  window::Form1 form;
  form.txtParameter[3]->assignText(QStringLiteral("400"));
  for (auto _ : state) form.animationTurn();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("Redraw/") + c.name).c_str(), redraw, c)
        ->Unit(benchmark::kMicrosecond);
  }
  for (const Case& c : kCases) {
    if (c.row0 > 1e8) continue;  // drawing every circle of a billion would take days
    benchmark::RegisterBenchmark((std::string("PlainQPainter/") + c.name).c_str(), plainQPainter, c)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("AnimationTurn/speed400", animationTurn)
      ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
