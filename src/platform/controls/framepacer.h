// SPDX-License-Identifier: GPL-3.0-or-later
// The one owner of "at most one paint a screen refresh" for a window.
#pragma once

#include "runtime/throttle.h"

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

namespace platform {

class PictureBox;

// Milliseconds from one refresh of the screen that shows `widget` to the next (60 Hz where the
// screen does not say).
int refreshInterval(const QWidget* widget);

// Holds back the window's repaints so that it paints at most once a screen refresh: a repaint
// asked for sooner waits for the next refresh, when everything changed by then is painted at
// once. A repaint after a quiet spell goes out at once, so a single click or keystroke never
// waits. Drawing, handlers, texts and bar values are never held back, only painting; the
// animation above speed 100 changes the angle box, its bar and the picture over a thousand times
// a second, and no display shows more than its refresh rate.
//
// Picture boxes hand their changes in late: a box whose canvas changed asks for a paint, and its
// changed area is put on the window's dirty region only when the paint goes out. Steps drawn
// between two paints cost nothing on the screen's side.
class FramePacer : public QObject {
 public:
  explicit FramePacer(QWidget* window);

  // `box` has changes to show at the next paint.
  void requestPaint(PictureBox* box);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void postRepaintRequest();

  QWidget* window_;
  Throttle throttle_;
  std::vector<QPointer<PictureBox>> waiting_;
};

}  // namespace platform
