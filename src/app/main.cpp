#include "window/form1.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quirlbild"));
  QApplication::setApplicationVersion(QStringLiteral("1.00"));
  QApplication::setDesktopFileName(QStringLiteral("de.quirlbild.Quirlbild"));
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

  window::Form1 form;
  form.show();
  return QApplication::exec();
}
