// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturebox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

int runtimeButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

int runtimeButtons(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
         (buttons & Qt::MiddleButton ? 4 : 0);
}

int runtimeShift(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

// Logical pixels of the border: a sunken panel is two lines, a flat border one.
int logicalBorder(PictureBox::Border border) {
  return border == PictureBox::Border::Sunken3D ? 2 : 1;
}

// Longer than any frame interval: the first picture goes out at once.
constexpr qint64 kNever = 1'000'000;

// Beyond this many changed rectangles a repaint covers their bounding rectangle instead.
constexpr std::size_t kMostRectangles = 32;

// The device pixels that a logical rectangle touches.
QRect toDevice(const QRect& logical, double ratio) {
  return QRectF(logical.x() * ratio, logical.y() * ratio, logical.width() * ratio,
                logical.height() * ratio)
      .toAlignedRect();
}

}  // namespace

PictureBox::PictureBox(Border border, QWidget* parent) : QWidget(parent), border_(border) {
  repaintTimer_.setSingleShot(true);
  repaintTimer_.setTimerType(Qt::PreciseTimer);
  connect(&repaintTimer_, &QTimer::timeout, this, &PictureBox::repaintChanges);
  canvas_.setChangeListener([this] { scheduleRepaint(); });
  const int margin = logicalBorder(border);
  setContentsMargins(margin, margin, margin, margin);
  // Moves are reported with no button held as well.
  setMouseTracking(true);
  // Reached with Tab in the window's order, and marked while it has the focus.
  setFocusPolicy(Qt::StrongFocus);
  // Every paint covers its region with the opaque image and the border.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int PictureBox::borderPixels() const {
  return std::max(1, static_cast<int>(std::lround(logicalBorder(border_) * devicePixelRatioF())));
}

void PictureBox::fitCanvas() {
  const double ratio = devicePixelRatioF();
  // Whole device pixels only, so the image and the border land on exact pixels at any scale.
  const QSize device(static_cast<int>(std::floor(width() * ratio + 1e-6)),
                     static_cast<int>(std::floor(height() * ratio + 1e-6)));
  canvas_.resize(device - 2 * QSize(borderPixels(), borderPixels()), ratio);
}

void PictureBox::resizeEvent(QResizeEvent* /*event*/) {
  fitCanvas();
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (pressable_ && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
    click();
    return;
  }
  QWidget::keyPressEvent(event);
}

// The focus mark is drawn in the border, so the whole box is repainted when it comes and goes.
void PictureBox::focusInEvent(QFocusEvent* event) {
  switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
      focusMarked_ = true;
      break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
      break;  // the focus comes back as it was
    default:
      focusMarked_ = false;
  }
  QWidget::focusInEvent(event);
  update();
}

void PictureBox::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

Canvas& PictureBox::canvas() {
  fitCanvas();
  return canvas_;
}

QPointF PictureBox::toUser(QPointF widgetPos) {
  fitCanvas();
  const double border = borderPixels();
  return canvas_.toUser(widgetPos * devicePixelRatioF() - QPointF(border, border));
}

void PictureBox::scheduleRepaint() {
  if (repaintScheduled_ || !canvas_.hasChanges()) return;
  repaintScheduled_ = true;
  // The screen shows at most one picture a refresh: drawings made faster than that (the
  // animation above speed 100 makes over a thousand a second) are each complete in the canvas,
  // and the screen shows the latest of them at the next refresh. Presenting every one would
  // copy pictures no display can show.
  const qint64 sincePresent = sincePresent_.isValid() ? sincePresent_.elapsed() : kNever;
  repaintTimer_.start(static_cast<int>(std::max<qint64>(0, refreshInterval(this) - sincePresent)));
}

int refreshInterval(const QWidget* widget) {
  const QScreen* const shown = widget->screen();
  const double rate = shown && shown->refreshRate() >= 30 ? shown->refreshRate() : 60.0;
  return static_cast<int>(std::floor(1000.0 / rate));
}

void PictureBox::repaintChanges() {
  repaintScheduled_ = false;
  sincePresent_.start();
  // A hidden box composes at its first paint.
  if (!isVisible()) return;
  const std::vector<QRect>& changed = canvas_.compose();
  if (changed.empty()) return;
  const QRegion region = widgetRegion(changed);
  // The window system copies a region rectangle by rectangle, at a cost per rectangle. Changes
  // spread all over the surface (a pattern of hundreds of circles) go out faster as one copy of
  // their bounding rectangle: measured under Xvfb, 1,350 against 1,000 steps a second.
  update(changed.size() > kMostRectangles ? QRegion(region.boundingRect()) : region);
}

QRegion PictureBox::widgetRegion(const std::vector<QRect>& rects) const {
  const double ratio = devicePixelRatioF();
  const int border = borderPixels();
  QRegion region;
  if (ratio == 1.0) {
    // The runs are banded top to bottom and never overlap, as setRects requires.
    thread_local std::vector<QRect> shifted;
    shifted.assign(rects.begin(), rects.end());
    for (QRect& rect : shifted) rect.translate(border, border);
    region.setRects(shifted.data(), static_cast<int>(shifted.size()));
    return region;
  }
  for (const QRect& rect : rects) {
    const QRectF logical(QPointF(rect.x() + border, rect.y() + border) / ratio,
                         QSizeF(rect.width(), rect.height()) / ratio);
    region += logical.toAlignedRect();
  }
  return region;
}

void PictureBox::paintBorder(QPainter& painter, QSize size) const {
  const int w = size.width();
  const int h = size.height();
  const QPalette& pal = palette();
  if (border_ == Border::FlatLine) {
    const int t = borderPixels();
    const QColor line = pal.color(QPalette::WindowText);
    painter.fillRect(0, 0, w, t, line);
    painter.fillRect(0, h - t, w, t, line);
    painter.fillRect(0, t, t, h - 2 * t, line);
    painter.fillRect(w - t, t, t, h - 2 * t, line);
    return;
  }
  // A sunken panel: dark over light outside, shadow over midlight inside, each line whole
  // device pixels wide.
  const int total = borderPixels();
  const int outer = std::max(1, total / 2);
  const int inner = total - outer;
  // The focus mark: the inner line of the border in the highlight colour.
  const bool focused = showsFocusMark();
  const QColor highlight = pal.color(QPalette::Highlight);
  painter.fillRect(0, 0, w, h, pal.color(QPalette::Light));
  painter.fillRect(0, 0, w - outer, outer, pal.color(QPalette::Dark));
  painter.fillRect(0, 0, outer, h - outer, pal.color(QPalette::Dark));
  if (inner <= 0) return;
  painter.fillRect(outer, outer, w - 2 * outer, h - 2 * outer,
                   focused ? highlight : pal.color(QPalette::Midlight));
  const QColor shadow = focused ? highlight : pal.color(QPalette::Shadow);
  painter.fillRect(outer, outer, w - 2 * outer - inner, inner, shadow);
  painter.fillRect(outer, outer, inner, h - 2 * outer - inner, shadow);
}

void PictureBox::paintEvent(QPaintEvent* event) {
  fitCanvas();
  // A paint that comes before the repaint request (an exposure, a grab) shows every change;
  // changes outside its region are repainted next.
  if (canvas_.hasChanges()) {
    const QRegion rest = widgetRegion(canvas_.compose()) - event->region();
    if (!rest.isEmpty()) update(rest);
  }
  const double ratio = devicePixelRatioF();
  const int border = borderPixels();
  QPainter painter(this);
  // Device pixels from here on: the image is copied pixel for pixel, never scaled.
  painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
  const QImage& screen = canvas_.screen();
  const QRect inner(QPoint(border, border), screen.size());
  if (!contentsRect().contains(event->region().boundingRect())) {
    paintBorder(painter, inner.size() + 2 * QSize(border, border));
  }
  // Where the painter writes into an image (the window's backing store) at whole device pixels,
  // the changed rectangles are copied straight into it, row by row: a repaint is a few hundred
  // small copies, and QPainter's per-call cost and its worker threads for large blits would
  // cost more than the copies themselves.
  QPaintDevice* const target = painter.paintEngine()->paintDevice();
  const QTransform toTarget = painter.deviceTransform();
  const bool direct =
      target && target->devType() == QInternal::Image &&
      toTarget.type() <= QTransform::TxTranslate && toTarget.dx() == std::floor(toTarget.dx()) &&
      toTarget.dy() == std::floor(toTarget.dy()) && static_cast<QImage*>(target)->depth() == 32;
  qint64 area = 0;
  for (const QRect& logical : event->region()) {
    const QRect source = toDevice(logical, ratio) & inner;
    if (source.isEmpty()) continue;
    area += qint64{source.width()} * source.height();
    if (!direct) {
      painter.drawImage(source.topLeft(), screen, source.translated(-border, -border));
      continue;
    }
    auto* image = static_cast<QImage*>(target);
    const QPoint offset(static_cast<int>(toTarget.dx()), static_cast<int>(toTarget.dy()));
    const QRect onImage = source.translated(offset) & image->rect();
    const QPoint from = onImage.topLeft() - offset - QPoint(border, border);
    uchar* const targetBits = image->bits() + onImage.top() * image->bytesPerLine();
    const uchar* const sourceBits = screen.constBits() + from.y() * screen.bytesPerLine();
    for (int row = 0; row < onImage.height(); ++row) {
      std::memcpy(targetBits + row * image->bytesPerLine() + onImage.left() * 4,
                  sourceBits + row * screen.bytesPerLine() + from.x() * 4,
                  static_cast<std::size_t>(onImage.width()) * 4);
    }
  }
  lastPaintedArea_ = area;
  if (showsFocusMark() && border_ == Border::FlatLine) {
    // Inside a one-line border there is only the back colour (a swatch): the focus mark, a
    // highlight ring two lines wide, goes there, over the copied image.
    const QColor highlight = palette().color(QPalette::Highlight);
    const int t = borderPixels();
    for (int k = 0; k < 2 * t; ++k) {
      const QRect ring = inner.adjusted(k, k, -k, -k);
      painter.fillRect(ring.left(), ring.top(), ring.width(), 1, highlight);
      painter.fillRect(ring.left(), ring.bottom(), ring.width(), 1, highlight);
      painter.fillRect(ring.left(), ring.top(), 1, ring.height(), highlight);
      painter.fillRect(ring.right(), ring.top(), 1, ring.height(), highlight);
    }
  }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  const QPointF user = toUser(event->position());
  emit mouseDown(runtimeButton(event->button()), runtimeShift(event->modifiers()),
                 static_cast<float>(user.x()), static_cast<float>(user.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  const QPointF user = toUser(event->position());
  emit mouseMove(runtimeButtons(event->buttons()), runtimeShift(event->modifiers()),
                 static_cast<float>(user.x()), static_cast<float>(user.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF user = toUser(event->position());
  emit mouseUp(runtimeButton(event->button()), runtimeShift(event->modifiers()),
               static_cast<float>(user.x()), static_cast<float>(user.y()));
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

}  // namespace platform
