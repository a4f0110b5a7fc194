// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/errordialog.h"
#include "programinfo/programinfo.h"
#include "runtime/events.h"
#include "window/form1.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(programinfo::kName));
  QApplication::setApplicationVersion(QString::fromLatin1(programinfo::kVersion));
  QApplication::setDesktopFileName(QString::fromLatin1(programinfo::kApplicationId));
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  platform::setErrorSink(platform::showErrorDialog);

  window::Form1 form;
  form.show();
  return QApplication::exec();
}
