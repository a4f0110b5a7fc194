// SPDX-License-Identifier: GPL-3.0-or-later
#include "quitsignals.h"

#include <QCoreApplication>
#include <QWidget>

#if defined(Q_OS_UNIX)
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write to a descriptor; the event loop reads it and does the work.
int signalSocket[2] = {-1, -1};

extern "C" void onQuitSignal(int) {
  const char byte = 1;
  // Nothing to do when it fails: a request is already waiting to be read.
  [[maybe_unused]] const auto written = ::write(signalSocket[0], &byte, 1);
}

}  // namespace

void closeOnQuitSignals(QWidget* window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSocket) != 0) return;
  auto* notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window,
                   [notifier, window = QPointer<QWidget>(window)] {
                     char byte = 0;
                     [[maybe_unused]] const auto read = ::read(signalSocket[1], &byte, 1);
                     notifier->setEnabled(false);
                     if (window) window->close();
                     // Also past a dialog that is open, which would keep the program running.
                     QCoreApplication::quit();
                   });
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

#else

void closeOnQuitSignals(QWidget*) {}

#endif
