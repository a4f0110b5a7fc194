// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted sequence of actions, one per DoEvents call of an animation run.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <functional>
#include <map>

// Runs scripted actions inside the animation's DoEvents: it reposts itself every time it is
// handled, and Qt handles an event posted during a pass only in the next pass, so the n-th
// handling happens in the n-th DoEvents call after the run starts.
class TurnScript : public QObject {
 public:
  explicit TurnScript(std::map<int, std::function<void()>> actions) : actions_(std::move(actions)) {
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
  }
  ~TurnScript() override { QCoreApplication::removePostedEvents(this); }

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    ++handled_;
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    if (auto action = actions_.find(handled_); action != actions_.end()) action->second();
    return true;
  }

 private:
  std::map<int, std::function<void()>> actions_;
  int handled_ = 0;
};
