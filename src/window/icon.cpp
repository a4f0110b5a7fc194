// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/icon.h"

#include "window/icon_xpm.h"

#include <QPixmap>

namespace window {

QIcon programIcon() {
  return QIcon(QPixmap(kIconXpm));
}

}  // namespace window
