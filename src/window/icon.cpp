// SPDX-License-Identifier: GPL-3.0-or-later
#include "icon.h"

#include "icon_xpm.h"

#include <QPixmap>

namespace window {

QIcon programIcon() {
  return QIcon(QPixmap(kIconXpm));
}

}  // namespace window
