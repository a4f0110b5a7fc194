// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/drawingprogress.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace window {

namespace {
constexpr int kSteps = 1000;
constexpr int kBorder = 2;  // logical pixels of the surface's frame, which the bar leaves free
}  // namespace

DrawingProgress::DrawingProgress(QWidget* window)
    : window_(window), hold_(new platform::EventHold(window)) {
  hold_->setCancelHandler([this] { cancel(); });
}

void DrawingProgress::setSurface(QWidget* surface) {
  surface_ = surface;
}

void DrawingProgress::create() {
  // A child of the window, not of the surface: a click on its button would otherwise hand the
  // focus on to the surface, which takes focus by clicks, and the focus stays where the user has
  // it.
  frame_ = new QFrame(window_);
  frame_->setFrameShape(QFrame::Panel);
  frame_->setFrameShadow(QFrame::Raised);
  frame_->setAutoFillBackground(true);
  frame_->setBackgroundRole(QPalette::Window);
  // A press on the bar goes to its button or nowhere, never on to the surface below.
  frame_->setAttribute(Qt::WA_NoMousePropagation);
  frame_->setAccessibleName(QStringLiteral("Die Zeichnung entsteht"));
  auto* layout = new QHBoxLayout(frame_);
  layout->setContentsMargins(6, 3, 3, 3);
  layout->addWidget(new QLabel(QStringLiteral("Die Zeichnung entsteht …"), frame_));
  bar_ = new QProgressBar(frame_);
  bar_->setRange(0, kSteps);
  bar_->setAccessibleName(QStringLiteral("Fortschritt der Zeichnung"));
  layout->addWidget(bar_, 1);
  cancelButton_ = new QPushButton(QStringLiteral("Abbrechen"), frame_);
  // Escape is the keyboard's way; the focus stays where the user has it.
  cancelButton_->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(cancelButton_);
  // Not an event handler of the window: it only asks the drawing to stop.
  QObject::connect(cancelButton_, &QPushButton::clicked, frame_, [this] { cancel(); });
  hold_->setExempt(frame_);
}

QWidget* DrawingProgress::indicator() const {
  return frame_ && !frame_->isHidden() ? frame_.data() : nullptr;
}

void DrawingProgress::start() {
  drawing_ = true;
  cancelled_ = false;
  sinceStart_.start();
  if (bar_) bar_->setValue(0);
}

bool DrawingProgress::keepGoing(double done) {
  if (cancelled_ || ending_) return false;
  if (!indicator()) {
    if (sinceStart_.elapsed() < showAfterMs_) return true;
    show();
  }
  if (!holding_) {
    // From here on waiting events are looked at during the drawing: the window is painted and
    // the cancel gesture acts, and everything else is kept until the drawing is over.
    holding_ = true;
    hold_->begin();
  }
  bar_->setValue(static_cast<int>(std::lround(done * kSteps)));
  place();
  QCoreApplication::processEvents();
  return !cancelled_ && !ending_;
}

void DrawingProgress::finish() {
  drawing_ = false;
  if (holding_) {
    holding_ = false;
    hold_->end();
  }
  // Between the long steps of an animation it stays; once the steps are short it goes.
  if (!keepShown_ || sinceStart_.elapsed() < showAfterMs_) hide();
}

void DrawingProgress::setKeepShown(bool keep) {
  keepShown_ = keep;
  if (!keep && !drawing_) hide();
}

void DrawingProgress::show() {
  if (!surface_) return;
  // Made when it is needed and gone afterwards, so that a screen reader finds it only then.
  if (!frame_) create();
  place();
  frame_->show();
  frame_->raise();
  // Between the steps of an animation Escape still stops it.
  hold_->setEscapeCancels(true);
}

void DrawingProgress::hide() {
  if (frame_) {
    frame_->hide();
    frame_->deleteLater();
    frame_ = nullptr;
  }
  hold_->setEscapeCancels(false);
}

void DrawingProgress::cancel() {
  if (drawing_) {
    cancelled_ = true;
    return;
  }
  hide();
  if (cancelBetween_) cancelBetween_();
}

void DrawingProgress::place() {
  if (!frame_ || !surface_) return;
  // Only what the window shows of the surface (the window opens smaller than the surface), in
  // the window's coordinates.
  const QRect inner = surface_->rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
  const QRect shown = window_->rect() & inner.translated(surface_->mapTo(window_, QPoint(0, 0)));
  const int height = std::min(frame_->sizeHint().height(), shown.height());
  const QRect place(shown.left(), shown.bottom() + 1 - height, shown.width(), height);
  if (frame_->geometry() != place) frame_->setGeometry(place);
}

}  // namespace window
