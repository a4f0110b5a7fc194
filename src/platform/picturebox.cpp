#include "picturebox.h"

#include "raster.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int kTwipsPerPixel = 15;

QColor systemColor(int number) {
  const QPalette palette = QApplication::palette();
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

}  // namespace

QColor toQColor(OleColor color) {
  if (color & 0x80000000u) return systemColor(static_cast<int>(color & 0xFFu));
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

PictureBox::PictureBox(Border border, QWidget* parent) : QFrame(parent) {
  if (border == Border::Sunken3D) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  } else {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
  }
  // Moves are reported with no button held as well.
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

double PictureBox::scaleWidth() const {
  return userScale_ ? scaleWidth_ : contentsRect().width() * double{kTwipsPerPixel};
}

double PictureBox::scaleHeight() const {
  return userScale_ ? scaleHeight_ : contentsRect().height() * double{kTwipsPerPixel};
}

void PictureBox::Scale(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2) {
  userScale_ = true;
  scaleLeft_ = x1;
  scaleTop_ = y1;
  scaleWidth_ = static_cast<double>(x2) - x1;
  scaleHeight_ = static_cast<double>(y2) - y1;
}

void PictureBox::ensureLayer() {
  const qreal ratio = devicePixelRatioF();
  const QSize size = contentsRect().size() * ratio;
  if (layer_.size() == size && layer_.devicePixelRatio() == ratio) return;
  QImage fresh(size, QImage::Format_ARGB32_Premultiplied);
  fresh.fill(Qt::transparent);
  if (!layer_.isNull()) {
    QPainter painter(&fresh);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), layer_);
  }
  fresh.setDevicePixelRatio(ratio);
  layer_ = std::move(fresh);
  drawnAll_ = true;
}

void PictureBox::Cls() {
  ensureLayer();
  if (drawnAll_) {
    layer_.fill(Qt::transparent);
  } else {
    uchar* const bits = layer_.bits();
    const qsizetype stride = layer_.bytesPerLine();
    for (const QRect& rect : drawn_) {
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + rect.left(), row + rect.right() + 1, QRgb{0});
      }
    }
  }
  drawn_.clear();
  drawnArea_ = 0;
  drawnAll_ = false;
  requestRepaint();
}

void PictureBox::setFillColor(OleColor color) {
  fillRgb_ = opaque(color);
}

long long PictureBox::Circle(float x, float y, float radius) {
  return drawCircle(x, y, radius, foreRgb_);
}

long long PictureBox::Circle(float x, float y, float radius, OleColor outline) {
  return drawCircle(x, y, radius, opaque(outline));
}

long long PictureBox::drawCircle(float x, float y, float radius, QRgb outline) {
  if (layer_.isNull()) ensureLayer();
  // Device pixels per user unit; the radius is measured in the horizontal unit.
  const double perUnitX = layer_.width() / scaleWidth();
  const double perUnitY = layer_.height() / scaleHeight();
  CircleStyle style;
  style.outline = outline;
  style.fill = fillRgb_;
  style.filled = fillSolid_;
  style.penWidth = layer_.devicePixelRatio();
  const QRect touched =
      rasterizer_.draw(layer_, (x - scaleLeft_) * perUnitX, (y - scaleTop_) * perUnitY,
                       double{radius} * std::abs(perUnitX), style);
  if (touched.isEmpty()) return 0;
  const long long area = qint64{touched.width()} * touched.height();
  if (!drawnAll_) {
    drawn_.push_back(touched);
    drawnArea_ += area;
    // Past half the layer, clearing it whole is cheaper than rectangle by rectangle.
    if (drawnArea_ > qint64{layer_.width()} * layer_.height() / 2) {
      drawnAll_ = true;
      drawn_.clear();
    }
  }
  requestRepaint();
  return area;
}

// One repaint request per batch of drawing: update() for every circle costs more than the circle.
void PictureBox::requestRepaint() {
  if (repaintPending_) return;
  repaintPending_ = true;
  update();
}

QRectF PictureBox::visibleArea() const {
  const QRectF inner = contentsRect();
  const QPointF topLeft = toUser(inner.topLeft() - QPointF(1, 1));
  const QPointF bottomRight = toUser(inner.bottomRight() + QPointF(2, 2));
  return QRectF(topLeft, bottomRight).normalized();
}

QPointF PictureBox::toUser(QPointF widgetPos) const {
  const QRect inner = contentsRect();
  const double x = scaleLeft_ + (widgetPos.x() - inner.left()) * scaleWidth() / inner.width();
  const double y = scaleTop_ + (widgetPos.y() - inner.top()) * scaleHeight() / inner.height();
  return {x, y};
}

void PictureBox::setBackColor(OleColor color) {
  backColor_ = color;
  update();
}

void PictureBox::paintEvent(QPaintEvent* /*event*/) {
  repaintPending_ = false;
  ensureLayer();
  QPainter painter(this);
  painter.fillRect(contentsRect(), toQColor(backColor_));
  painter.drawImage(contentsRect().topLeft(), layer_);
  drawFrame(&painter);
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
