// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <array>
#include <cmath>

namespace platform {

namespace {

constexpr int kTwipsPerPixel = 15;

QColor systemColor(int number) {
  const QPalette palette = QGuiApplication::palette();
  switch (number) {
    case 0:  // scroll bar
      return palette.color(QPalette::Midlight);
    case 5:  // window background
      return palette.color(QPalette::Base);
    case 8:  // window text
      return palette.color(QPalette::WindowText);
    case 15:  // button face
      return palette.color(QPalette::Button);
    case 18:  // button text
      return palette.color(QPalette::ButtonText);
    default:
      return palette.color(QPalette::Window);
  }
}

QRgb opaque(OleColor color) {
  return toQColor(color).rgb() | 0xFF000000;
}

}  // namespace

QColor toQColor(OleColor color) {
  if (color & 0x80000000u) return systemColor(static_cast<int>(color & 0xFFu));
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

void Canvas::resize(QSize devicePixels, double devicePixelRatio) {
  devicePixels = devicePixels.expandedTo(QSize(0, 0));
  if (layer_.size() == devicePixels && devicePixelRatio_ == devicePixelRatio && !layer_.isNull()) {
    return;
  }
  QImage fresh(devicePixels, QImage::Format_ARGB32_Premultiplied);
  fresh.fill(Qt::transparent);
  if (!layer_.isNull() && !fresh.isNull()) {
    QPainter painter(&fresh);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(devicePixels)), layer_);
  }
  layer_ = std::move(fresh);
  screen_ = QImage(devicePixels, QImage::Format_RGB32);
  devicePixelRatio_ = devicePixelRatio;
  tilesX_ = (devicePixels.width() + kTile - 1) / kTile;
  tilesY_ = (devicePixels.height() + kTile - 1) / kTile;
  dirty_.assign(static_cast<std::size_t>(tilesX_) * tilesY_, 0);
  drawn_.clear();
  cleared_.clear();
  composedDrawn_ = 0;
  drawnArea_ = 0;
  drawnAll_ = true;
  markAllDirty();
}

void Canvas::Scale(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2) {
  userScale_ = true;
  scaleLeft_ = x1;
  scaleTop_ = y1;
  scaleWidth_ = static_cast<double>(x2) - x1;
  scaleHeight_ = static_cast<double>(y2) - y1;
}

double Canvas::scaleWidth() const {
  return userScale_ ? scaleWidth_ : layer_.width() / devicePixelRatio_ * kTwipsPerPixel;
}

double Canvas::scaleHeight() const {
  return userScale_ ? scaleHeight_ : layer_.height() / devicePixelRatio_ * kTwipsPerPixel;
}

QPointF Canvas::toUser(QPointF devicePos) const {
  return {scaleLeft_ + devicePos.x() * scaleWidth() / layer_.width(),
          scaleTop_ + devicePos.y() * scaleHeight() / layer_.height()};
}

QRectF Canvas::visibleArea() const {
  // Two device pixels round the area: an antialiased edge reaches that far past its path.
  const QPointF topLeft = toUser(QPointF(-2, -2));
  const QPointF bottomRight = toUser(QPointF(layer_.width() + 2, layer_.height() + 2));
  return QRectF(topLeft, bottomRight).normalized();
}

void Canvas::markDirty(const QRect& rect) {
  const QRect clipped = rect & layer_.rect();
  if (clipped.isEmpty()) return;
  for (int ty = clipped.top() / kTile; ty <= clipped.bottom() / kTile; ++ty) {
    std::uint8_t* row = dirty_.data() + static_cast<std::size_t>(ty) * tilesX_;
    std::fill(row + clipped.left() / kTile, row + clipped.right() / kTile + 1, std::uint8_t{1});
  }
  anyDirty_ = true;
}

void Canvas::markAllDirty() {
  std::fill(dirty_.begin(), dirty_.end(), std::uint8_t{1});
  anyDirty_ = !dirty_.empty();
}

void Canvas::Cls() {
  if (drawnAll_) {
    layer_.fill(Qt::transparent);
    markAllDirty();
  } else {
    uchar* const bits = layer_.bits();
    const qsizetype stride = layer_.bytesPerLine();
    for (const QRect& rect : drawn_) {
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + rect.left(), row + rect.right() + 1, QRgb{0});
      }
    }
    // What was drawn and is now cleared goes to the screen at the next compose(); past a few
    // thousand rectangles (a canvas that is never shown), all of it will.
    if (cleared_.size() + drawn_.size() > kMostCleared) {
      cleared_.clear();
      markAllDirty();
    } else {
      cleared_.insert(cleared_.end(), drawn_.begin(), drawn_.end());
      anyDirty_ = anyDirty_ || !drawn_.empty();
    }
  }
  drawn_.clear();
  composedDrawn_ = 0;
  drawnArea_ = 0;
  drawnAll_ = false;
}

void Canvas::setFillColor(OleColor color) {
  fillRgb_ = opaque(color);
}

long long Canvas::Circle(float x, float y, float radius) {
  return drawCircle(x, y, radius, foreRgb_);
}

long long Canvas::Circle(float x, float y, float radius, OleColor outline) {
  return drawCircle(x, y, radius, opaque(outline));
}

[[gnu::always_inline]] inline Canvas::DeviceCircle Canvas::toDevice(float x, float y, float radius,
                                                                    QRgb outline) const {
  // Device pixels per user unit; the radius is measured in the horizontal unit.
  const double perUnitX = layer_.width() / scaleWidth();
  const double perUnitY = layer_.height() / scaleHeight();
  CircleStyle style;
  style.outline = outline;
  style.fill = fillRgb_;
  style.filled = fillSolid_;
  style.penWidth = devicePixelRatio_;
  return {(x - scaleLeft_) * perUnitX, (y - scaleTop_) * perUnitY,
          double{radius} * std::abs(perUnitX), style};
}

long long Canvas::drawCircle(float x, float y, float radius, QRgb outline) {
  if (layer_.isNull()) return 0;
  const DeviceCircle c = toDevice(x, y, radius, outline);
  const QRect touched = rasterizer_.draw(layer_, c.cx, c.cy, c.r, c.style);
  if (touched.isEmpty()) return 0;
  const long long area = qint64{touched.width()} * touched.height();
  if (drawnAll_) {
    markDirty(touched);
    return area;
  }
  drawn_.push_back(touched);
  drawnArea_ += area;
  anyDirty_ = true;
  // Past half the layer, clearing it whole is cheaper than rectangle by rectangle, and so is
  // composing it whole.
  if (drawnArea_ > qint64{layer_.width()} * layer_.height() / 2) {
    drawnAll_ = true;
    drawn_.clear();
    composedDrawn_ = 0;
    markAllDirty();
  }
  return area;
}

void Canvas::beginOcclusion() {
  occluded_.assign(static_cast<std::size_t>(layer_.width()) * layer_.height(), 0);
}

bool Canvas::occlude(float x, float y, float radius) {
  if (occluded_.size() != static_cast<std::size_t>(layer_.width()) * layer_.height()) return false;
  const DeviceCircle c = toDevice(x, y, radius, foreRgb_);
  return rasterizer_.occlude(occluded_, layer_.size(), c.cx, c.cy, c.r, c.style);
}

void Canvas::setBackColor(OleColor color) {
  backColor_ = color;
  backRgb_ = opaque(color);
  markAllDirty();
}

void Canvas::composeTiles(int tileRow, int firstTile, int endTile) {
  const QRect area(QPoint(firstTile * kTile, tileRow * kTile),
                   QPoint(std::min(endTile * kTile, layer_.width()) - 1,
                          std::min((tileRow + 1) * kTile, layer_.height()) - 1));
  const QRgb back = backRgb_;
  const uchar* const layerBits = layer_.constBits();
  uchar* const screenBits = screen_.bits();
  const qsizetype layerStride = layer_.bytesPerLine();
  const qsizetype screenStride = screen_.bytesPerLine();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(layerBits + y * layerStride) + area.left();
    auto* dst = reinterpret_cast<QRgb*>(screenBits + y * screenStride) + area.left();
    // Premultiplied source-over onto an opaque colour, without branches or lookups, so that the
    // compiler can do several pixels at once.
    for (int x = 0; x < area.width(); ++x) {
      dst[x] = (src[x] + byteMul(back, 255 - (src[x] >> 24))) | 0xFF000000;
    }
  }
}

const std::vector<QRect>& Canvas::compose() {
  changed_.clear();
  if (!anyDirty_) return changed_;
  anyDirty_ = false;
  // Tiles are marked here rather than with every circle, which keeps drawing lean.
  for (const QRect& rect : cleared_) markDirty(rect);
  cleared_.clear();
  for (std::size_t k = composedDrawn_; k < drawn_.size(); ++k) markDirty(drawn_[k]);
  composedDrawn_ = drawn_.size();
  const int width = layer_.width();
  const int height = layer_.height();
  for (int ty = 0; ty < tilesY_; ++ty) {
    std::uint8_t* tiles = dirty_.data() + static_cast<std::size_t>(ty) * tilesX_;
    for (int tx = 0; tx < tilesX_;) {
      if (!tiles[tx]) {
        ++tx;
        continue;
      }
      // One rectangle for a run of changed tiles, taking in gaps of up to kGapTiles clean ones:
      // a few more pixels copied to the screen cost less than another rectangle. Only the
      // changed tiles are composed.
      int lastDirty = tx;
      for (int x = tx; x < tilesX_ && x - lastDirty <= kGapTiles; ++x) {
        if (!tiles[x]) continue;
        int runEnd = x;
        while (runEnd < tilesX_ && tiles[runEnd]) tiles[runEnd++] = 0;
        composeTiles(ty, x, runEnd);
        lastDirty = runEnd - 1;
        x = runEnd - 1;
      }
      const int end = lastDirty + 1;
      changed_.emplace_back(
          QPoint(tx * kTile, ty * kTile),
          QPoint(std::min(end * kTile, width) - 1, std::min((ty + 1) * kTile, height) - 1));
      tx = end;
    }
  }
  return changed_;
}

}  // namespace platform
