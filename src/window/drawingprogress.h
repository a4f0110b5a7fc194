// SPDX-License-Identifier: GPL-3.0-or-later
// What a long drawing shows: after half a second, a progress dialog over the window with the
// share done and a button (and Escape) to stop it.
#pragma once

#include "pattern/renderer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

namespace window {

class DrawingProgress : public pattern::DrawMonitor {
 public:
  // Drawings that end sooner than this show nothing.
  static constexpr int kShowAfterMs = 500;

  explicit DrawingProgress(QWidget* window) : window_(window) {}
  ~DrawingProgress() override;
  DrawingProgress(const DrawingProgress&) = delete;
  DrawingProgress& operator=(const DrawingProgress&) = delete;

  // A drawing starts. An indicator still up from the one before (an animation's step) goes on.
  void start();
  bool keepGoing(double done) override;
  // The drawing is over; the indicator stays up while `more` drawings follow at once.
  void finish(bool more);

  void setShowAfterMs(int ms) { showAfterMs_ = ms; }
  // The dialog while it is up, for tests.
  QProgressDialog* dialog() const { return dialog_; }

 private:
  QWidget* window_;
  int showAfterMs_ = kShowAfterMs;
  QElapsedTimer sinceStart_;
  QPointer<QProgressDialog> dialog_;
  bool cancelled_ = false;
};

}  // namespace window
