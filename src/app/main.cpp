// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/errordialog.h"
#include "programinfo/programinfo.h"
#include "quitsignals.h"
#include "runtime/events.h"
#include "window/form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(programinfo::kName));
  QApplication::setApplicationVersion(QString::fromLatin1(programinfo::kVersion));
  QApplication::setDesktopFileName(QString::fromLatin1(programinfo::kApplicationId));
  const QLocale german(QLocale::German, QLocale::Germany);
  QLocale::setDefault(german);
  // Qt's own dialogs (choosing a file, the buttons of a message) speak German too, where Qt's
  // translations are installed: with Qt, or beside the program, as the Windows installer puts them.
  QTranslator qtTexts;
  const auto load = [&](const QString& folder) {
    return qtTexts.load(german, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
  };
  if (load(QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      load(QCoreApplication::applicationDirPath() + QStringLiteral("/translations"))) {
    QApplication::installTranslator(&qtTexts);
  }
  platform::setErrorSink(platform::showErrorDialog);

  window::Form1 form;
  closeOnQuitSignals(&form);
  form.show();
  return QApplication::exec();
}
