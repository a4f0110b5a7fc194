// SPDX-License-Identifier: GPL-3.0-or-later
// A private X display for one test or benchmark run, or the reason why there is none. Sets
// DISPLAY for the process and everything it starts.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QThread>

class Xvfb {
 public:
  Xvfb(int width, int height) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
      skipReason_ = QStringLiteral("Xvfb or xdotool is not installed (scripts/install-deps)");
      return;
    }
    for (int display = 71; display < 120; ++display) {
      if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
          QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) {
        continue;
      }
      server_.start(QStringLiteral("Xvfb"),
                    {QStringLiteral(":%1").arg(display), "-screen", "0",
                     QStringLiteral("%1x%2x24").arg(width).arg(height), "-nolisten", "tcp"});
      if (!server_.waitForStarted(5000)) break;
      for (int k = 0; k < 100; ++k) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
          qputenv("DISPLAY", QStringLiteral(":%1").arg(display).toLatin1());
          return;
        }
        QThread::msleep(50);
      }
      server_.kill();
      server_.waitForFinished();
    }
    skipReason_ = QStringLiteral("Xvfb did not start");
  }
  ~Xvfb() {
    server_.terminate();
    server_.waitForFinished(5000);
  }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // Empty when the display runs.
  QString skipReason() const { return skipReason_; }

 private:
  QProcess server_;
  QString skipReason_;
};
