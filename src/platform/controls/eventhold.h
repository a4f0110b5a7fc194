// SPDX-License-Identifier: GPL-3.0-or-later
// A busy window's queue: while a drawing runs, the user's input to the window and every event
// handler that would run are kept, in the order they came, and handed back to the event loop
// once the drawing is over.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QEvent;
class QWidget;

namespace platform {

class EventHold : public QObject {
 public:
  // Holds the input to `window` and its controls; the window owns the hold.
  explicit EventHold(QWidget* window);
  ~EventHold() override;

  // The drawing's own indicator: what is done to it (its button) acts at once.
  void setExempt(QWidget* indicator) { exempt_ = indicator; }
  // Called at once for the cancel gesture, Escape, which is not kept.
  void setCancelHandler(std::function<void()> cancel) { cancel_ = std::move(cancel); }

  // A drawing starts: from now on nothing reaches the window's handlers.
  void begin();
  // The drawing is over: what was kept goes back to the event loop, in order, and runs when the
  // handler that drew has returned to it (or at the next DoEvents).
  void end();
  bool holding() const { return depth_ > 0; }

  // Between two drawings that belong together (the steps of an animation), Escape cancels too;
  // everything else goes on as usual.
  void setEscapeCancels(bool cancels);

  // How many events and handlers are kept; tells tests that input is waiting.
  std::size_t keptCount() const { return kept_.size(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // Either an event for `receiver`, made again when it is delivered, or a handler.
  struct Kept {
    QPointer<QObject> receiver;
    std::function<std::unique_ptr<QEvent>()> remake;
    std::function<void()> handler;
  };
  void deliver(Kept kept);
  void updateFilter();
  bool belongsToWindow(const QObject* object) const;
  bool isExempt(const QObject* object) const;
  // Whether a pointer event that reaches the window itself is meant for the indicator.
  bool pointerForIndicator(const QEvent* event);

  QWidget* window_;
  QPointer<QWidget> exempt_;
  std::function<void()> cancel_;
  int depth_ = 0;
  bool escapeCancels_ = false;
  bool filtering_ = false;
  bool indicatorPressed_ = false;  // a button went down on the indicator and is not up yet
  std::vector<Kept> kept_;
};

}  // namespace platform
