// SPDX-License-Identifier: GPL-3.0-or-later
// Event entry points, error reporting, DoEvents and End.
#pragma once

#include "runtime/runtime.h"

#include <QObject>

#include <functional>
#include <new>
#include <type_traits>
#include <utility>

namespace platform {

// Receives every runtime error that reaches an event entry point. The program shows a message
// box; tests install a recorder; without either, the error is logged.
using ErrorSink = std::function<void(const RuntimeError&)>;

// Installs `sink` and returns the previous one.
ErrorSink setErrorSink(ErrorSink sink);
void reportError(const RuntimeError& error);

// What an entry point does with the exception being handled: a runtime error, or too little
// memory, is reported; an interruption by the user is not; anything else goes on.
void reportCaught();

// Runs one event handler as an entry point called from Qt's event loop: a runtime error ends the
// handler and its callers here and is reported, and the program goes on; an interruption by the
// user ends them too, with nothing to report. No exception ever travels on into Qt's own frames.
template <typename Handler>
void runEvent(Handler&& handler) noexcept {
  try {
    std::invoke(handler);
  } catch (...) {
    reportCaught();
  }
}

// While the program is busy drawing, no event handler may run inside the drawing. A keeper,
// installed for that time, takes each handler that arrives (an accessibility action, a timer's
// click) and returns true; it runs them, in order, once the drawing is over.
using HandlerKeeper = std::function<bool(std::function<void()>& handler)>;

// Installs `keeper` (none: handlers run at once) and returns the previous one.
HandlerKeeper setHandlerKeeper(HandlerKeeper keeper);
// Whether a keeper is installed.
bool handlersAreKept();

// Runs `handler` as an entry point (runEvent), or hands it to the keeper while one is installed.
void deliverEvent(std::function<void()> handler);

// `handler` bound to copies of a signal's arguments, or to none when it takes none: a kept
// handler runs after the signal has returned.
template <typename Handler, typename... Args>
std::function<void()> boundHandler(const Handler& handler, const Args&... args) {
  if constexpr (std::is_invocable_v<const Handler&, const Args&...>) {
    return [handler, args...] { std::invoke(handler, args...); };
  } else {
    return [handler] { std::invoke(handler); };
  }
}

// A handler attached to a signal: it runs as an entry point (runEvent) with the signal's
// arguments, or none when it takes none; while a keeper is installed, it is handed to the keeper
// (deliverEvent). The handler may be anything std::invoke calls: a member bound with
// std::bind_front gets the signal's arguments with no lambda of its own.
template <typename Handler>
struct SignalEntry {
  Handler handler;

  template <typename... Args>
  void operator()(const Args&... args) const noexcept {
    if (handlersAreKept()) {
      deliverEvent(boundHandler(handler, args...));
      return;
    }
    // Most often nothing keeps handlers: no copy of this one, or of the arguments, is made, and
    // nothing stands between it and the signal.
    try {
      if constexpr (std::is_invocable_v<const Handler&, const Args&...>) {
        std::invoke(handler, args...);
      } else {
        std::invoke(handler);
      }
    } catch (...) {
      reportCaught();
    }
  }
};

// The one way to attach an event handler to a Qt signal, for as long as `context` lives.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection onEvent(const Sender* sender, Signal signal, const QObject* context,
                                Handler handler) {
  return QObject::connect(sender, signal, context, SignalEntry<Handler>{std::move(handler)});
}

// Lets every waiting window event run to completion, user input included.
void DoEvents();

// Asks the application to end; the caller's loops must check their own ending flag and return.
void End();

}  // namespace platform
