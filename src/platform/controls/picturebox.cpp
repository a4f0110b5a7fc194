// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/picturebox.h"

#include "controls/backingstore.h"
#include "controls/framepacer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

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

// The device pixels that a logical rectangle touches.
QRect toDevice(const QRect& logical, double ratio) {
  return QRectF(logical.x() * ratio, logical.y() * ratio, logical.width() * ratio,
                logical.height() * ratio)
      .toAlignedRect();
}

}  // namespace

PictureBox::PictureBox(Border border, QWidget* parent) : QWidget(parent), border_(border) {
  canvas_.setChangeListener(std::bind_front(&PictureBox::scheduleRepaint, this));
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

void PictureBox::place(const QRect& geometry) {
  setGeometry(geometry);
  fitCanvas();
}

void PictureBox::resizeEvent(QResizeEvent* /*event*/) {
  fitCanvas();
}

bool PictureBox::event(QEvent* event) {
  // The window moved to a screen of another scale.
  if (event->type() == QEvent::ScreenChangeInternal) fitCanvas();
  return QWidget::event(event);
}

// As a push button: Space clicks once, when it is let go; Enter and Return click when pressed.
// Neither clicks again while the key is held and repeats.
void PictureBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (pressable_ && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
    if (event->isAutoRepeat()) return;
    if (key == Qt::Key_Space) {
      spaceDown_ = true;
    } else {
      click();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

void PictureBox::keyReleaseEvent(QKeyEvent* event) {
  if (pressable_ && event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat() && std::exchange(spaceDown_, false)) click();
    return;
  }
  QWidget::keyReleaseEvent(event);
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
  spaceDown_ = false;  // a Space let go elsewhere is no click here
  QWidget::focusOutEvent(event);
  update();
}

QPointF PictureBox::toUser(QPointF widgetPos) const {
  const double border = borderPixels();
  return canvas_.toUser(widgetPos * devicePixelRatioF() - QPointF(border, border));
}

void PictureBox::scheduleRepaint() {
  // The canvas tells of the first change after the screen was composed, once.
  if (!canvas_.hasChanges()) return;
  if (pacer_) {
    pacer_->requestPaint(this);
    return;
  }
  // Once the handler that draws has returned, and before the window's own repaint request (a
  // low-priority event), so that one paint shows the drawing with whatever else changed.
  QMetaObject::invokeMethod(this, &PictureBox::repaintChanges, Qt::QueuedConnection);
}

void PictureBox::repaintChanges() {
  // A hidden box composes at its first paint.
  if (!isVisible() || !canvas_.hasChanges()) return;
  // The paint composes the changed tiles and copies the changed rectangles; until then only
  // their bounds are known, which costs nothing to ask for, however many drawings come first.
  update(widgetRect(canvas_.changedBounds()));
}

QRect PictureBox::widgetRect(const QRect& device) const {
  const double ratio = devicePixelRatioF();
  const int border = borderPixels();
  return QRectF(QPointF(device.x() + border, device.y() + border) / ratio,
                QSizeF(device.width(), device.height()) / ratio)
      .toAlignedRect();
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
  painter.fillRect(0, 0, w, h, pal.color(QPalette::Light));
  painter.fillRect(0, 0, w - outer, outer, pal.color(QPalette::Dark));
  painter.fillRect(0, 0, outer, h - outer, pal.color(QPalette::Dark));
  if (inner <= 0) return;
  painter.fillRect(outer, outer, w - 2 * outer, h - 2 * outer, pal.color(QPalette::Midlight));
  const QColor shadow = pal.color(QPalette::Shadow);
  painter.fillRect(outer, outer, w - 2 * outer - inner, inner, shadow);
  painter.fillRect(outer, outer, inner, h - 2 * outer - inner, shadow);
}

void PictureBox::paintFocusMark(QPainter& painter, const QRect& inner, bool borderPainted) const {
  if (!showsFocusMark()) return;
  const QColor highlight = palette().color(QPalette::Highlight);
  const auto ring = [&](const QRect& r) {
    painter.fillRect(r.left(), r.top(), r.width(), 1, highlight);
    painter.fillRect(r.left(), r.bottom(), r.width(), 1, highlight);
    painter.fillRect(r.left(), r.top(), 1, r.height(), highlight);
    painter.fillRect(r.right(), r.top(), 1, r.height(), highlight);
  };
  const int t = borderPixels();
  if (border_ == Border::FlatLine) {
    // Inside a one-line border there is only the back colour (a swatch): the mark, a highlight
    // ring two lines wide, goes there, over the picture.
    for (int k = 0; k < 2 * t; ++k) ring(inner.adjusted(k, k, -k, -k));
    return;
  }
  // A sunken panel: its inner line in the highlight colour, painted with the border.
  if (!borderPainted) return;
  const int outer = std::max(1, t / 2);
  for (int k = outer; k < t; ++k) ring(inner.adjusted(k - t, k - t, t - k, t - k));
}

void PictureBox::paintEvent(QPaintEvent* event) {
  // Qt tells a widget of a new scale on the same screen by no event of its own; the paint that
  // follows is the first moment that sees it.
  fitCanvas();
  // A paint that comes before the repaint request (an exposure, a grab) shows every change;
  // changes outside its region are repainted next.
  if (canvas_.hasChanges()) {
    const QRegion rest = QRegion(widgetRect(canvas_.changedBounds())) - event->region();
    canvas_.compose();
    if (!rest.isEmpty()) update(rest);
  }
  const double ratio = devicePixelRatioF();
  const int border = borderPixels();
  QPainter painter(this);
  // Device pixels from here on: the image is copied pixel for pixel, never scaled.
  painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
  const QImage& screen = canvas_.screen();
  const QRect inner(QPoint(border, border), screen.size());
  const bool borderPainted = !contentsRect().contains(event->region().boundingRect());
  if (borderPainted) paintBorder(painter, inner.size() + 2 * QSize(border, border));
  qint64 area = 0;
  for (const QRect& logical : event->region()) {
    const QRect source = toDevice(logical, ratio) & inner;
    if (source.isEmpty()) continue;
    area += qint64{source.width()} * source.height();
    copyToPainter(painter, source.topLeft(), screen, source.translated(-border, -border));
  }
  lastPaintedArea_ = area;
  paintFocusMark(painter, inner, borderPainted);
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
