// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/drawingprogress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <cmath>

namespace window {

namespace {
constexpr int kSteps = 1000;
}

DrawingProgress::~DrawingProgress() {
  delete dialog_;
}

void DrawingProgress::start() {
  sinceStart_.start();
  if (dialog_) dialog_->setValue(0);
}

bool DrawingProgress::keepGoing(double done) {
  if (!dialog_) {
    if (!sinceStart_.isValid() || sinceStart_.elapsed() < showAfterMs_) return true;
    // Window-modal: while it is up, the window takes no input, as during any drawing, but it
    // is still painted.
    dialog_ = new QProgressDialog(QStringLiteral("Die Zeichnung entsteht …"),
                                  QStringLiteral("Abbrechen"), 0, kSteps, window_);
    dialog_->setWindowTitle(window_ ? window_->windowTitle() : QString());
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setAccessibleName(QStringLiteral("Fortschritt der Zeichnung"));
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setMinimumDuration(0);
    // The button cancels; Escape and the close box reject the dialog. Either stops the drawing.
    cancelled_ = false;
    QObject::connect(dialog_, &QProgressDialog::canceled, dialog_, [this] { cancelled_ = true; });
    QObject::connect(dialog_, &QDialog::rejected, dialog_, [this] { cancelled_ = true; });
    dialog_->show();
  }
  // setValue() lets waiting events run, a press of Escape or of the button included.
  dialog_->setValue(static_cast<int>(std::lround(done * kSteps)));
  QCoreApplication::processEvents();
  return !cancelled_;
}

void DrawingProgress::finish(bool more) {
  if (more || !dialog_) return;
  dialog_->hide();
  dialog_->deleteLater();
  dialog_ = nullptr;
}

}  // namespace window
