// SPDX-License-Identifier: GPL-3.0-or-later
// At most once an interval: the one rule behind the window's paints and what a screen reader is
// told of the picture.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace platform {

// Lets requests through at most once an interval. A request that comes sooner after the last
// one let through is held; when the interval is over, `due` is called once for all that were
// held, and the next request goes through. Where only streams are held, a request is held only
// when the one before the last also came within two intervals: a lone request after a quiet
// spell goes through at once.
class Throttle {
 public:
  enum class Hold { Always, OnlyInStreams };

  Throttle(std::function<int()> intervalMs, Hold hold, std::function<void()> due)
      : intervalMs_(std::move(intervalMs)), hold_(hold), due_(std::move(due)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      overdue_ = true;
      due_();
    });
    clock_.start();
  }

  // Whether the request goes through now; if not, `due` follows.
  bool request() {
    const qint64 now = clock_.elapsed();
    const qint64 interval = intervalMs_();
    const bool held =
        now - last_ < interval && (hold_ == Hold::Always || last_ - beforeLast_ < 2 * interval);
    if (held && !overdue_) {
      if (!timer_.isActive()) timer_.start(static_cast<int>(interval - (now - last_)));
      return false;
    }
    overdue_ = false;
    timer_.stop();
    beforeLast_ = last_;
    last_ = now;
    return true;
  }
  bool holding() const { return timer_.isActive(); }

 private:
  std::function<int()> intervalMs_;
  Hold hold_;
  std::function<void()> due_;
  QTimer timer_;
  QElapsedTimer clock_;
  // When the last two requests went through, in milliseconds of clock_: long ago at first.
  qint64 last_ = -1'000'000;
  qint64 beforeLast_ = -1'000'000;
  bool overdue_ = false;
};

}  // namespace platform
