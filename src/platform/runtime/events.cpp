// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/events.h"

#include <QCoreApplication>
#include <QDebug>

namespace platform {

namespace {

ErrorSink& currentSink() {
  static ErrorSink sink = [](const RuntimeError& error) {
    qCritical().noquote()
        << QStringLiteral("Laufzeitfehler '%1': %2").arg(int{error.number()}).arg(error.message());
  };
  return sink;
}

HandlerKeeper& currentKeeper() {
  static HandlerKeeper keeper;
  return keeper;
}

}  // namespace

HandlerKeeper setHandlerKeeper(HandlerKeeper keeper) {
  return std::exchange(currentKeeper(), std::move(keeper));
}

bool handlersAreKept() {
  return static_cast<bool>(currentKeeper());
}

void deliverEvent(std::function<void()> handler) {
  if (currentKeeper() && currentKeeper()(handler)) return;
  runEvent(handler);
}

ErrorSink setErrorSink(ErrorSink sink) {
  return std::exchange(currentSink(), std::move(sink));
}

void reportCaught() {
  try {
    throw;
  } catch (const Interrupted&) {
  } catch (const RuntimeError& error) {
    reportError(error);
  } catch (const std::bad_alloc&) {
    reportError(RuntimeError(RuntimeError::OutOfMemory));
  }
}

void reportError(const RuntimeError& error) {
  if (currentSink()) currentSink()(error);
}

void DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void End() {
  QCoreApplication::quit();
}

}  // namespace platform
