// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/framepacer.h"

#include "controls/picturebox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <utility>

namespace platform {

int refreshInterval(const QWidget* widget) {
  const QScreen* const shown = widget->screen();
  const double rate = shown && shown->refreshRate() >= 30 ? shown->refreshRate() : 60.0;
  return static_cast<int>(std::floor(1000.0 / rate));
}

FramePacer::FramePacer(QWidget* window)
    : QObject(window),
      window_(window),
      // Held only within a stream of paints, as in the animation: the last paint less than a
      // refresh ago, and the one before it close to that. A lone paint (the pointer's hover
      // over an arrow) does not hold back the click that follows it.
      throttle_([window] { return refreshInterval(window); }, Throttle::Hold::OnlyInStreams,
                [this] { postRepaintRequest(); }) {
  window->installEventFilter(this);
}

void FramePacer::requestPaint(PictureBox* box) {
  waiting_.emplace_back(box);
  if (!throttle_.holding()) postRepaintRequest();
}

void FramePacer::postRepaintRequest() {
  // Low priority, as the window system's own: the handler that drew has returned by then, and
  // so have the others waiting, so one paint shows all they changed. Qt merges a repaint request
  // with one already waiting for the same window.
  QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_ || event->type() != QEvent::UpdateRequest) return false;
  if (!throttle_.request()) return true;
  // Their changed areas join the window's dirty region before it is painted, in this same paint.
  for (const QPointer<PictureBox>& box : std::exchange(waiting_, {})) {
    if (box) box->repaintChanges();
  }
  return false;
}

}  // namespace platform
