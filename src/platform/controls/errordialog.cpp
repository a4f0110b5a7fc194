// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/errordialog.h"

#include "programinfo/programinfo.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

void showErrorDialog(const RuntimeError& error) {
  QMessageBox::critical(
      QApplication::activeWindow(), QString::fromLatin1(programinfo::kName),
      QStringLiteral("Laufzeitfehler '%1':\n\n%2").arg(int{error.number()}).arg(error.message()));
}

}  // namespace platform
