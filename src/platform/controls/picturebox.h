// SPDX-License-Identifier: GPL-3.0-or-later
// The picture box: a framed view of a drawing canvas (user scale, back colour, a persistent
// drawing that stays until Cls, across repaints and covering). What reaches the screen is the
// canvas's opaque image, repainted only where something was cleared or drawn.
#pragma once

#include "raster/canvas.h"

#include <QWidget>

#include <cstdint>

namespace platform {

class FramePacer;

class PictureBox : public QWidget {
  Q_OBJECT
 public:
  enum class Border { Sunken3D, FlatLine };

  explicit PictureBox(Border border, QWidget* parent = nullptr);

  // Sets the box's geometry and sizes its canvas to the inner area at once, shown or not: a hidden
  // widget hears of its size only when it is shown.
  void place(const QRect& geometry);

  // What is drawn and everything to draw with, as large as the box's inner area at its
  // device-pixel ratio (from place(), a resize or a change of screen). The box repaints what
  // changes in it.
  Canvas& canvas() { return canvas_; }
  const Canvas& canvas() const { return canvas_; }

  OleColor BackColor() const { return canvas_.BackColor(); }
  // What is drawn, without the back colour, in device pixels, as of the last drawing.
  const QImage& drawing() const { return canvas_.drawing(); }

  // Pointer position in user units, for a position in widget coordinates.
  QPointF toUser(QPointF widgetPos) const;

  // A pressable box (a colour swatch) acts as a button: Space or Enter, while it has the focus,
  // does what a click does, and assistive technology is told it is a button.
  void setPressable(bool pressable) { pressable_ = pressable; }
  bool isPressable() const { return pressable_; }
  // Does what a click does.
  void click() { emit clicked(); }

  // Paints go out through the window's pacer, where it has one; else at once.
  void setPacer(FramePacer* pacer) { pacer_ = pacer; }
  // Puts what changed in the canvas since the last paint on the widget's dirty region.
  void repaintChanges();

  // The area the last paint covered, in device pixels; tells tests how much a redraw repaints.
  qint64 lastPaintedArea() const { return lastPaintedArea_; }

 signals:
  // Button and shift follow the runtime's bit values: left 1, right 2, middle 4; shift 1,
  // control 2, alt 4. X and Y are in user units.
  void mouseDown(int button, int shift, float x, float y);
  void mouseMove(int button, int shift, float x, float y);
  void mouseUp(int button, int shift, float x, float y);
  void clicked();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Border width in device pixels at the current device-pixel ratio.
  int borderPixels() const;
  // Sizes the canvas to the inner area at the current device-pixel ratio; nothing happens when it
  // has that size.
  void fitCanvas();
  // Asks for a repaint of the changes, through the pacer where there is one.
  void scheduleRepaint();
  // The logical rectangle covering `device`, a rectangle in canvas device pixels.
  QRect widgetRect(const QRect& device) const;
  void paintBorder(QPainter& painter, QSize deviceSize) const;
  // The focus mark, where the keyboard put the focus; `inner` is the picture's rectangle in
  // device pixels.
  void paintFocusMark(QPainter& painter, const QRect& inner, bool borderPainted) const;

  Border border_;
  bool pressable_ = false;
  bool spaceDown_ = false;  // Space went down on the box and is not up yet
  // The focus mark shows only where the keyboard put the focus (Tab, Shift+Tab), not after a
  // click or when the window opens.
  bool focusMarked_ = false;
  bool showsFocusMark() const { return focusMarked_ && hasFocus(); }
  Canvas canvas_;
  FramePacer* pacer_ = nullptr;
  qint64 lastPaintedArea_ = 0;
};

}  // namespace platform
