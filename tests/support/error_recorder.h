// SPDX-License-Identifier: GPL-3.0-or-later
// Records the runtime errors that reach an event entry point while it lives, instead of showing
// a message box.
#pragma once

#include "runtime/events.h"

#include <vector>

class ErrorRecorder {
 public:
  ErrorRecorder()
      : previous_(platform::setErrorSink(
            [this](const platform::RuntimeError& error) { numbers.push_back(error.number()); })) {}
  ~ErrorRecorder() { platform::setErrorSink(previous_); }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  std::vector<int> numbers;

 private:
  platform::ErrorSink previous_;
};
