// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/canvas.h"

#include "raster/striprows.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

QColor paletteColor(int number) {
  const QPalette palette = QGuiApplication::palette();
  switch (static_cast<SystemColor>(number)) {
    case SystemColor::ScrollBar:
      return palette.color(QPalette::Midlight);
    case SystemColor::WindowBackground:
      return palette.color(QPalette::Base);
    case SystemColor::WindowText:
      return palette.color(QPalette::WindowText);
    case SystemColor::ButtonFace:
      return palette.color(QPalette::Button);
    case SystemColor::ButtonText:
      return palette.color(QPalette::ButtonText);
  }
  return palette.color(QPalette::Window);
}

QRgb opaque(OleColor color) {
  // Plain colours are swapped without a QColor: this runs for every circle.
  if (!isSystemColor(color)) return opaqueArgb(color);
  return toQColor(color).rgb() | 0xFF000000;
}

// A transparent premultiplied image whose pixels the system hands over as zeros, page by page
// where they are first used: a large poster's band, most of it background, costs no time to
// clear before it is drawn (measured: a band of 64 MB kept the window waiting 0.17 s when filled
// here). Null when there is not memory enough.
QImage transparentImage(QSize size) {
  if (size.isEmpty()) return QImage(size, QImage::Format_ARGB32_Premultiplied);
  const std::size_t stride = std::size_t{4} * static_cast<std::size_t>(size.width());
  void* const pixels = std::calloc(stride, static_cast<std::size_t>(size.height()));
  if (!pixels) return {};
  QImage image(
      static_cast<uchar*>(pixels), size.width(), size.height(), static_cast<qsizetype>(stride),
      QImage::Format_ARGB32_Premultiplied, [](void* data) { std::free(data); }, pixels);
  if (image.isNull()) std::free(pixels);
  return image;
}

}  // namespace

QColor toQColor(OleColor color) {
  if (isSystemColor(color)) return paletteColor(systemColorNumber(color));
  return QColor::fromRgb(opaqueArgb(color));
}

void Canvas::resize(QSize devicePixels, double devicePixelRatio) {
  devicePixels = devicePixels.expandedTo(QSize(0, 0));
  if (layer_.size() == devicePixels && area_ == devicePixels && firstRow_ == 0 &&
      devicePixelRatio_ == devicePixelRatio && !layer_.isNull()) {
    return;
  }
  QImage fresh = transparentImage(devicePixels);
  if (!layer_.isNull() && !fresh.isNull()) {
    QPainter painter(&fresh);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(devicePixels)), layer_);
  }
  layer_ = std::move(fresh);
  area_ = devicePixels;
  firstRow_ = 0;
  screen_.resize(devicePixels);
  devicePixelRatio_ = devicePixelRatio;
  const qint64 area = qint64{devicePixels.width()} * devicePixels.height();
  // Past half the layer, clearing it whole is cheaper than rectangle by rectangle, and so is
  // composing it whole.
  drawn_.setLimit(area / 2);
  // Cleared and drawn again between two composes, several times over: then all of it.
  unshown_.setLimit(2 * area);
  drawn_.clear();
  drawn_.addAll();  // what was drawn is kept, scaled
  changedAll();
}

void Canvas::Scale(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2) {
  scale_ = {.set = true,
            .left = static_cast<double>(x1),
            .top = static_cast<double>(y1),
            .width = static_cast<double>(x2) - x1,
            .height = static_cast<double>(y2) - y1};
}

double Canvas::scaleWidth() const {
  return scale_.set ? scale_.width : area_.width() / devicePixelRatio_ * kTwipsPerPixel;
}

double Canvas::scaleHeight() const {
  return scale_.set ? scale_.height : area_.height() / devicePixelRatio_ * kTwipsPerPixel;
}

QPointF Canvas::toUser(QPointF devicePos) const {
  return {scale_.left + devicePos.x() * scaleWidth() / area_.width(),
          scale_.top + devicePos.y() * scaleHeight() / area_.height()};
}

QRectF Canvas::userArea() const {
  return QRectF(toUser(QPointF(0, 0)), toUser(QPointF(area_.width(), area_.height()))).normalized();
}

QRectF Canvas::visibleArea() const {
  // A circle's outline and its antialiased edge reach that far past its path.
  const double reach = edgeReach();
  const QPointF topLeft = toUser(QPointF(-reach, -reach));
  const QPointF bottomRight = toUser(QPointF(area_.width() + reach, area_.height() + reach));
  return QRectF(topLeft, bottomRight).normalized();
}

void Canvas::changed(const QRect& rect) {
  const bool wasShown = unshown_.empty();
  unshown_.add(rect);
  if (wasShown && !unshown_.empty() && onChange_) onChange_();
}

void Canvas::changedAll() {
  const bool wasShown = unshown_.empty();
  unshown_.addAll();
  if (wasShown && onChange_) onChange_();
}

void Canvas::Cls() {
  if (drawn_.all()) {
    layer_.fill(Qt::transparent);
    changedAll();
  } else {
    uchar* const bits = layer_.bits();
    const qsizetype stride = layer_.bytesPerLine();
    for (const QRect& rect : drawn_.rects()) {
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + rect.left(), row + rect.right() + 1, QRgb{0});
      }
      changed(rect);
    }
  }
  drawn_.clear();
}

void Canvas::setFillColor(OleColor color) {
  fillColor_ = color;
}

void Canvas::Circle(float x, float y, float radius) {
  drawCircle(x, y, radius, kForeColor);
}

void Canvas::Circle(float x, float y, float radius, OleColor outline) {
  drawCircle(x, y, radius, opaque(outline));
}

[[gnu::always_inline]] inline Canvas::DeviceCircle Canvas::toDevice(float x, float y, float radius,
                                                                    QRgb outline, QRgb fill) const {
  // Device pixels per user unit; the radius is measured in the horizontal unit.
  const double perUnitX = area_.width() / scaleWidth();
  const double perUnitY = area_.height() / scaleHeight();
  CircleStyle style;
  style.outline = outline;
  style.fill = fill;
  style.filled = fillSolid_;
  style.penWidth = devicePixelRatio_;
  return {(x - scale_.left) * perUnitX, (y - scale_.top) * perUnitY,
          double{radius} * std::abs(perUnitX), style};
}

void Canvas::drawCircle(float x, float y, float radius, QRgb outline) {
  if (layer_.isNull()) return;
  const DeviceCircle c = toDevice(x, y, radius, outline, opaque(fillColor_));
  const ImageView view = layerView();
  noteDrawn(rasterizers_.front().draw(view, c.cx, c.cy, c.r, c.style, view.rect()));
}

void Canvas::noteDrawn(const QRect& touchedInArea) {
  if (touchedInArea.isEmpty()) return;
  const QRect touched = touchedInArea.translated(0, -firstRow_);
  drawn_.add(touched);
  changed(touched);
}

double Canvas::devicePixelsPerUnit() const {
  return layer_.isNull() ? 0.0 : std::abs(area_.width() / scaleWidth());
}

int Canvas::maxStrips() const {
  // Strips of fewer rows than this share too many circles to pay.
  constexpr int kFewestRows = 16;
  return std::max(1, layer_.height() / kFewestRows);
}

void Canvas::beginStrips(int strips, const QRectF& reach) {
  strips = std::clamp(strips, 1, maxStrips());
  // Rows that the discs can reach, shared out evenly; the first and last strips run on to the
  // layer's edges, so every row belongs to one strip.
  // In the area's rows; a band canvas shares out its own.
  const double perUnitY = area_.height() / scaleHeight();
  const double a = (reach.top() - scale_.top) * perUnitY;
  const double b = (reach.bottom() - scale_.top) * perUnitY;
  const int endRow = firstRow_ + layer_.height();
  const double top = std::clamp(std::floor(std::min(a, b)), static_cast<double>(firstRow_),
                                static_cast<double>(endRow));
  const double bottom = std::clamp(std::ceil(std::max(a, b)), top, static_cast<double>(endRow));
  stripRows_.resize(static_cast<std::size_t>(strips));
  for (int s = 0; s < strips; ++s) {
    const int first = s == 0 ? firstRow_ : static_cast<int>(top + (bottom - top) * s / strips);
    const int end =
        s == strips - 1 ? endRow : static_cast<int>(top + (bottom - top) * (s + 1) / strips);
    stripRows_[static_cast<std::size_t>(s)] = {first, end};
  }
  if (rasterizers_.size() < stripRows_.size()) rasterizers_.resize(stripRows_.size());
  if (stripCircles_.size() < stripRows_.size()) stripCircles_.resize(stripRows_.size());
  stripDrawn_.resize(stripRows_.size());
  for (std::size_t s = 0; s < stripRows_.size(); ++s) {
    stripDrawn_[s].clear();
    // Past half the strip, the whole layer will be cleared and composed; no more rectangles.
    stripDrawn_[s].setLimit(qint64{layer_.width()} * (stripRows_[s].second - stripRows_[s].first) /
                            2);
  }
  // Taken here, on this thread: QImage::bits() detaches, which no two threads may do at once.
  stripView_ = layerView();
}

void Canvas::drawDiscs(std::span<const Disc> discs, float radius, int strip) {
  if (layer_.isNull()) return;
  const auto [first, end] = stripRows_[static_cast<std::size_t>(strip)];
  if (first >= end) return;
  const QRect clip(0, first, layer_.width(), end - first);
  Damage& drawn = stripDrawn_[static_cast<std::size_t>(strip)];
  // Already all of the layer: no more rectangles to note.
  if (drawn_.all()) drawn.addAll();
  const double perUnitX = area_.width() / scaleWidth();
  const double perUnitY = area_.height() / scaleHeight();
  const double deviceRadius = double{radius} * std::abs(perUnitX);
  const double margin = deviceRadius + edgeReach();
  const double above = first - margin;
  const double below = end + margin;
  std::vector<BatchCircle>& batch = stripCircles_[static_cast<std::size_t>(strip)];
  batch.clear();
  OleColor lastFill = discs.empty() ? 0 : discs.front().fill;
  QRgb fill = opaque(lastFill);
  // Most discs of a strip lie wholly above or below it: they are passed over by their user y
  // first, a block at a time, and those left by the device row itself. NaNs fall through to the
  // rasteriser.
  const UserRows rows = userRowsOf(scale_.top, perUnitY, above, below);
  constexpr std::size_t kBlock = 512;
  std::array<std::uint32_t, kBlock> inRows;
  const Kernels& kernel = kernels();
  for (std::size_t from = 0; from < discs.size(); from += kBlock) {
    const std::span<const Disc> block = discs.subspan(from, std::min(kBlock, discs.size() - from));
    const std::size_t count = kernel.discsInRows(block.data(), block.size(), rows, inRows.data());
    for (std::size_t k = 0; k < count; ++k) {
      const Disc& disc = block[inRows[k]];
      const double cy = (disc.y - scale_.top) * perUnitY;
      if (cy < above || cy > below) continue;
      if (disc.fill != lastFill) {
        lastFill = disc.fill;
        fill = opaque(lastFill);
      }
      batch.push_back({(disc.x - scale_.left) * perUnitX, cy, fill});
    }
  }
  const CircleStyle style{
      .outline = kForeColor, .fill = 0, .filled = fillSolid_, .penWidth = devicePixelRatio_};
  rasterizers_[static_cast<std::size_t>(strip)].drawBatch(stripView_, batch, deviceRadius, style,
                                                          clip, drawn);
}

void Canvas::endStrips() {
  const bool all = std::any_of(stripDrawn_.begin(), stripDrawn_.end(),
                               [](const Damage& drawn) { return drawn.all(); });
  if (all) {
    drawn_.addAll();
    changedAll();
  } else {
    for (const Damage& drawn : stripDrawn_) {
      for (const QRect& rect : drawn.rects()) noteDrawn(rect);
    }
  }
  for (Damage& drawn : stripDrawn_) drawn.clear();
  // A strip's circles are kept for the next drawing (no more than a piece holds); what the
  // rasterisers found in a batch of large circles goes back.
  for (CircleRasterizer& rasterizer : rasterizers_) rasterizer.releaseBatchMemory();
}

void Canvas::setBackColor(OleColor color) {
  backColor_ = color;
  changedAll();
}

Canvas Canvas::blankLike(QSize devicePixels, double devicePixelRatio) const {
  Canvas blank;
  blank.scale_ = scale_;
  blank.backColor_ = backColor_;
  blank.fillColor_ = fillColor_;
  blank.fillSolid_ = fillSolid_;
  blank.resize(devicePixels, devicePixelRatio);
  if (blank.layer_.isNull() || blank.screen_.image().isNull()) blank.resize(QSize(0, 0), 1);
  // Fresh and transparent: a Cls has nothing to clear.
  blank.drawn_.clear();
  return blank;
}

Canvas Canvas::bandLike(QSize devicePixels, double devicePixelRatio, int rows) const {
  Canvas band = blankLike(QSize(devicePixels.width(), std::clamp(rows, 0, devicePixels.height())),
                          devicePixelRatio);
  band.area_ = band.layer_.isNull() ? QSize(0, 0) : devicePixels;
  return band;
}

void Canvas::prepareRows(int first, int end) {
  first = std::clamp(first, 0, layer_.height());
  end = std::clamp(end, first, layer_.height());
  if (first == end) return;
  std::memset(layer_.scanLine(first), 0,
              static_cast<std::size_t>(layer_.bytesPerLine()) * (end - first));
}

void Canvas::moveBandTo(int first) {
  Cls();
  firstRow_ = std::clamp(first, 0, std::max(0, area_.height() - layer_.height()));
}

QImage Canvas::picture() const {
  ScreenImage fresh;
  fresh.resize(layer_.size());
  Damage everything;
  everything.addAll();
  fresh.compose(layer_, opaque(backColor_), everything);
  return fresh.image();
}

const std::vector<QRect>& Canvas::compose() {
  const std::vector<QRect>& composed = screen_.compose(layer_, opaque(backColor_), unshown_);
  unshown_.clear();
  return composed;
}

}  // namespace platform
