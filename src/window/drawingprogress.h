// SPDX-License-Identifier: GPL-3.0-or-later
// What a long drawing shows: after half a second, a bar along the bottom edge of the drawing
// surface with the share done and a button (and Escape) to stop it. It takes nothing from the
// window: input that comes during a drawing is kept and runs after it, as a busy window's queue
// runs it, and between two drawings every control works.
#pragma once

#include "controls/eventhold.h"
#include "pattern/renderer.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>

class QFrame;
class QProgressBar;
class QPushButton;
class QWidget;

namespace window {

class DrawingProgress : public pattern::DrawMonitor {
 public:
  // Drawings that end sooner than this show nothing.
  static constexpr int kShowAfterMs = 500;

  // Holds the input to `window` while a drawing runs.
  explicit DrawingProgress(QWidget* window);
  DrawingProgress(const DrawingProgress&) = delete;
  DrawingProgress& operator=(const DrawingProgress&) = delete;

  // The indicator lies over the bottom edge of the visible part of `surface`.
  void setSurface(QWidget* surface);
  // Called when the indicator's button or Escape is used while no drawing runs but the
  // indicator is still up between the steps of an animation.
  void setCancelBetweenDrawings(std::function<void()> cancel) {
    cancelBetween_ = std::move(cancel);
  }

  // A drawing starts and ends. An indicator still up from the drawing before goes on.
  void start();
  bool keepGoing(double done) override;
  void finish();
  // While true (an animation runs), the indicator stays up between drawings, so that it does
  // not flash from step to step.
  void setKeepShown(bool keep);
  // The program is ending: a running drawing stops at its next check, and so does every drawing
  // that input kept until then may still start.
  void stopAll() { ending_ = true; }

  void setShowAfterMs(int ms) { showAfterMs_ = ms; }
  // The indicator while it is up, else null; for tests.
  QWidget* indicator() const;
  QPushButton* cancelButton() const { return cancelButton_; }
  platform::EventHold& hold() { return *hold_; }

 private:
  void create();
  void show();
  void hide();
  void cancel();
  void place();

  QWidget* window_;
  platform::EventHold* hold_;  // owned by the window
  QPointer<QWidget> surface_;
  QPointer<QFrame> frame_;  // a child of the window, over the surface
  QPointer<QProgressBar> bar_;
  QPointer<QPushButton> cancelButton_;
  int showAfterMs_ = kShowAfterMs;
  QElapsedTimer sinceStart_;
  bool drawing_ = false;
  bool holding_ = false;  // the hold began with the first look at waiting events
  bool cancelled_ = false;
  bool keepShown_ = false;
  bool ending_ = false;
  std::function<void()> cancelBetween_;
};

}  // namespace window
