#include "events.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

void showMessageBox(const RuntimeError& error) {
  QMessageBox::critical(
      QApplication::activeWindow(), QStringLiteral("Quirlbild"),
      QStringLiteral("Laufzeitfehler '%1':\n\n%2").arg(int{error.number()}).arg(error.message()));
}

ErrorSink& currentSink() {
  static ErrorSink sink = showMessageBox;
  return sink;
}

}  // namespace

ErrorSink setErrorSink(ErrorSink sink) {
  return std::exchange(currentSink(), std::move(sink));
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
