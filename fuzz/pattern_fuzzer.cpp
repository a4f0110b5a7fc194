// SPDX-License-Identifier: GPL-3.0-or-later
// ReadParameters and the renderer on arbitrary texts in the six rows (one line each), drawing
// into a small image through the circle rasteriser: no crash, no sanitizer report, no error
// but the runtime's overflow and the safeguard's DrawingTooLarge, and the drawing stays within
// its budget.
#include "raster.h"
#include "renderer.h"

#include <QImage>
#include <QList>

#include <cstdint>
#include <cstdlib>

namespace {

// A 64 x 64 pixel surface scaled -100 .. 100, as the drawing surface is.
class ImageSurface : public platform::DrawingSurface {
 public:
  explicit ImageSurface(bool solid) : solid_(solid) {}
  void Cls() override { image_.fill(Qt::transparent); }
  void setFillColor(platform::OleColor color) override { style_.fill = 0xFF000000 | color; }
  long long Circle(float x, float y, float radius) override {
    ++circles;
    constexpr double kPerUnit = 64 / 200.0;
    const QRect touched = rasterizer_.draw(image_, (x + 100) * kPerUnit, (y + 100) * kPerUnit,
                                           double{radius} * kPerUnit, style_);
    return static_cast<long long>(touched.width()) * touched.height();
  }
  bool fillsSolid() const override { return solid_; }
  QRectF visibleArea() const override { return {-103.2, -103.2, 206.4, 206.4}; }

  long long circles = 0;

 private:
  bool solid_;
  QImage image_{64, 64, QImage::Format_ARGB32_Premultiplied};
  platform::CircleRasterizer rasterizer_;
  platform::CircleStyle style_{0xFF000000, 0xFF000000, true, 1.0};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QList<QByteArray> rows =
      QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\n');
  pattern::ParameterSet parameters{600, 2, 20, 0, 137.5};
  try {
    pattern::ReadParameters(parameters, [&](int row) {
      return row < rows.size() ? QString::fromUtf8(rows[row]) : QString();
    });
  } catch (const platform::RuntimeError& error) {
    if (error.number() != platform::RuntimeError::Overflow) std::abort();
  }
  // Small budgets keep each run short; the budget logic itself is what is exercised.
  constexpr pattern::DrawBudget kBudget{20000, 1 << 20};
  ImageSurface surface(size % 2 == 0);
  try {
    pattern::drawPattern(parameters, surface, kBudget);
  } catch (const platform::RuntimeError& error) {
    if (error.number() != platform::RuntimeError::DrawingTooLarge) std::abort();
  }
  if (surface.circles > kBudget.circles) std::abort();
  return 0;
}
