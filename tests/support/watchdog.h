// SPDX-License-Identifier: GPL-3.0-or-later
// A bound for what should end by itself: a drawing, an animation run.
#pragma once

#include "window/form1.h"

#include <QTimer>

#include <gtest/gtest.h>

// After `seconds` it stops every drawing and run of `form`, again and again until they have
// ended, and fails the test that had to be helped.
class Watchdog {
 public:
  Watchdog(window::Form1& form, int seconds) {
    timer_.setInterval(seconds * 1000);
    QObject::connect(&timer_, &QTimer::timeout, [this, &form] {
      fired_ = true;
      timer_.setInterval(50);
      form.Command4_Click();
      form.drawingProgress().stopAll();
    });
    timer_.start();
  }
  ~Watchdog() { EXPECT_FALSE(fired_) << "it did not end by itself"; }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  QTimer timer_;
  bool fired_ = false;
};
