// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/canvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <array>
#include <cmath>

namespace platform {

namespace {

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
  // Plain colours are swapped from 0x00BBGGRR to 0xAARRGGBB without a QColor: this runs for
  // every circle.
  if (!(color & 0x80000000u)) {
    return 0xFF000000u | (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
  }
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
  // A circle's outline and its antialiased edge reach that far past its path.
  const double reach = edgeReach();
  const QPointF topLeft = toUser(QPointF(-reach, -reach));
  const QPointF bottomRight = toUser(QPointF(layer_.width() + reach, layer_.height() + reach));
  return QRectF(topLeft, bottomRight).normalized();
}

void Canvas::markTiles(const QRect& clipped) {
  for (int ty = clipped.top() / kTile; ty <= clipped.bottom() / kTile; ++ty) {
    std::uint8_t* row = dirty_.data() + static_cast<std::size_t>(ty) * tilesX_;
    std::fill(row + clipped.left() / kTile, row + clipped.right() / kTile + 1, std::uint8_t{1});
  }
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
  fillRgb_ = opaque(color);
}

void Canvas::Circle(float x, float y, float radius) {
  drawCircle(x, y, radius, foreRgb_);
}

void Canvas::Circle(float x, float y, float radius, OleColor outline) {
  drawCircle(x, y, radius, opaque(outline));
}

[[gnu::always_inline]] inline Canvas::DeviceCircle Canvas::toDevice(float x, float y, float radius,
                                                                    QRgb outline, QRgb fill) const {
  // Device pixels per user unit; the radius is measured in the horizontal unit.
  const double perUnitX = layer_.width() / scaleWidth();
  const double perUnitY = layer_.height() / scaleHeight();
  CircleStyle style;
  style.outline = outline;
  style.fill = fill;
  style.filled = fillSolid_;
  style.penWidth = devicePixelRatio_;
  return {(x - scaleLeft_) * perUnitX, (y - scaleTop_) * perUnitY,
          double{radius} * std::abs(perUnitX), style};
}

void Canvas::drawCircle(float x, float y, float radius, QRgb outline) {
  if (layer_.isNull()) return;
  const DeviceCircle c = toDevice(x, y, radius, outline, fillRgb_);
  noteDrawn(rasterizers_.front().draw(layer_, c.cx, c.cy, c.r, c.style));
}

void Canvas::noteDrawn(const QRect& touched) {
  if (touched.isEmpty()) return;
  drawn_.add(touched);
  changed(touched);
}

double Canvas::devicePixelsPerUnit() const {
  return layer_.isNull() ? 0.0 : std::abs(layer_.width() / scaleWidth());
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
  const double perUnitY = layer_.height() / scaleHeight();
  const double a = (reach.top() - scaleTop_) * perUnitY;
  const double b = (reach.bottom() - scaleTop_) * perUnitY;
  const double height = layer_.height();
  const double top = std::clamp(std::floor(std::min(a, b)), 0.0, height);
  const double bottom = std::clamp(std::ceil(std::max(a, b)), top, height);
  stripRows_.resize(static_cast<std::size_t>(strips));
  for (int s = 0; s < strips; ++s) {
    const int first = s == 0 ? 0 : static_cast<int>(top + (bottom - top) * s / strips);
    const int end = s == strips - 1 ? layer_.height()
                                    : static_cast<int>(top + (bottom - top) * (s + 1) / strips);
    stripRows_[static_cast<std::size_t>(s)] = {first, end};
  }
  if (rasterizers_.size() < stripRows_.size()) rasterizers_.resize(stripRows_.size());
  stripDrawn_.resize(stripRows_.size());
  for (std::size_t s = 0; s < stripRows_.size(); ++s) {
    stripDrawn_[s].clear();
    // Past half the strip, the whole layer will be cleared and composed; no more rectangles.
    stripDrawn_[s].setLimit(qint64{layer_.width()} * (stripRows_[s].second - stripRows_[s].first) /
                            2);
  }
  // Taken here, on this thread: QImage::bits() detaches, which no two threads may do at once.
  stripView_ = ImageView(layer_);
}

void Canvas::drawDiscs(std::span<const Disc> discs, float radius, int strip) {
  if (layer_.isNull()) return;
  const auto [first, end] = stripRows_[static_cast<std::size_t>(strip)];
  if (first >= end) return;
  const QRect clip(0, first, layer_.width(), end - first);
  CircleRasterizer& rasterizer = rasterizers_[static_cast<std::size_t>(strip)];
  Damage& drawn = stripDrawn_[static_cast<std::size_t>(strip)];
  const bool layerDrawnAll = drawn_.all();
  const double perUnitY = layer_.height() / scaleHeight();
  const double margin = double{radius} * std::abs(layer_.width() / scaleWidth()) + edgeReach();
  const double above = first - margin;
  const double below = end + margin;
  OleColor lastFill = discs.empty() ? 0 : discs.front().fill;
  QRgb fill = opaque(lastFill);
  for (const Disc& disc : discs) {
    if (disc.fill != lastFill) {
      lastFill = disc.fill;
      fill = opaque(lastFill);
    }
    // Most discs of a strip lie wholly above or below it, so that is tested first, as cheaply as
    // can be; NaNs fall through to the rasteriser.
    const double cy = (disc.y - scaleTop_) * perUnitY;
    if (cy < above || cy > below) continue;
    const DeviceCircle c = toDevice(disc.x, disc.y, radius, foreRgb_, fill);
    const QRect touched = rasterizer.draw(stripView_, c.cx, c.cy, c.r, c.style, clip);
    if (!layerDrawnAll) drawn.add(touched);
  }
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
}

void Canvas::setBackColor(OleColor color) {
  backColor_ = color;
  backRgb_ = opaque(color);
  changedAll();
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
  if (unshown_.empty()) return changed_;
  // Tiles are marked here rather than with every circle, which keeps drawing lean.
  if (unshown_.all()) {
    std::fill(dirty_.begin(), dirty_.end(), std::uint8_t{1});
  } else {
    for (const QRect& rect : unshown_.rects()) {
      const QRect clipped = rect & layer_.rect();
      if (!clipped.isEmpty()) markTiles(clipped);
    }
  }
  unshown_.clear();
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
