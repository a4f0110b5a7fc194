// SPDX-License-Identifier: GPL-3.0-or-later
// ReadParameters and the renderer on arbitrary texts in the five rows (one line each), drawn on a
// small canvas in 1 to 4 strips, against drawing every circle in order: the same pixels, the same
// error and the same FillColor. Where the plain loop would take long, the renderer's plan is made,
// and drawn only when it is small, stopped after one piece of work.
#include "pattern/renderer.h"
#include "raster/canvas.h"
#include "support/every_circle.h"

#include <QList>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

platform::Canvas smallSurface() {
  platform::Canvas canvas;
  canvas.resize(QSize(64, 64), 1.0);
  canvas.Scale(-100, -100, 100, 100);
  canvas.setFillSolid(true);
  canvas.setFillColor(0x00123456);
  return canvas;
}

// Stops a drawing at its first check, after one piece of work: a piece is a few milliseconds in
// a plain build, and twenty times that with the sanitizers.
class OnePiece : public pattern::DrawMonitor {
 public:
  bool keepGoing(double done) override {
    if (done < 0 || done > 1) std::abort();
    return false;
  }
};

int errorOf(auto&& draw) {
  try {
    draw();
  } catch (const platform::RuntimeError& error) {
    if (error.number() != platform::RuntimeError::Overflow) std::abort();
    return error.number();
  } catch (const platform::Interrupted&) {
    return -1;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QList<QByteArray> rows =
      QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\n');
  pattern::ParameterSet parameters{600, 2, 20, 0, 137.5};
  const int readError = errorOf([&] {
    pattern::ReadParameters(parameters, [&](int row) {
      return row < rows.size() ? QString::fromUtf8(rows[row]) : QString();
    });
  });
  if (readError < 0) std::abort();
  const int strips = static_cast<int>(size % 4) + 1;

  platform::Canvas canvas = smallSurface();
  // Pixels a circle may touch on the 64 x 64 canvas, at most all of them.
  const double side = std::abs(parameters.PointSize / 5) * 64 / 200 * 2 + 3;
  const double pixels = side * side < 4096 ? side * side : 4096;
  // Pixel work is kept to well under a second even in a sanitizer build, where a pixel costs a
  // thousand times what it does in a plain one: the plain loop's, and else the renderer's plan.
  constexpr double kMostWork = 2e6;
  if (!(reference::plainLoopLength(parameters.PointTotal) * (pixels + 16) <= kMostWork)) {
    const pattern::DrawingPlan plan = pattern::planDrawing(parameters, canvas);
    if (static_cast<double>(plan.circles()) * (pixels + 16) <= kMostWork) {
      OnePiece monitor;
      errorOf([&] { pattern::drawPattern(parameters, canvas, {&monitor, strips}); });
    }
    return 0;
  }
  const int error = errorOf([&] { pattern::drawPattern(parameters, canvas, {nullptr, strips}); });
  platform::Canvas plain = smallSurface();
  const int plainError = errorOf([&] { reference::drawEveryCircle(parameters, plain); });
  if (error != plainError || canvas.FillColor() != plain.FillColor() ||
      canvas.drawing() != plain.drawing()) {
    std::abort();
  }
  return 0;
}
