// Event entry points, error reporting, DoEvents and End.
#pragma once

#include "runtime.h"

#include <functional>
#include <new>
#include <utility>

class QWidget;

namespace platform {

// Receives every runtime error that reaches an event entry point. The program shows a message
// box; tests install a recorder.
using ErrorSink = std::function<void(const RuntimeError&)>;

// Installs `sink` and returns the previous one.
ErrorSink setErrorSink(ErrorSink sink);
void reportError(const RuntimeError& error);

// Runs one event handler as an entry point called from Qt's event loop: a runtime error ends the
// handler and its callers here and is reported, and the program goes on. No exception ever
// travels on into Qt's own frames.
template <typename Handler>
void runEvent(Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (const RuntimeError& error) {
    reportError(error);
  } catch (const std::bad_alloc&) {
    reportError(RuntimeError(RuntimeError::OutOfMemory));
  }
}

// Lets every waiting window event run to completion, user input included.
void DoEvents();

// Asks the application to end; the caller's loops must check their own ending flag and return.
void End();

}  // namespace platform
