#include "icon.h"

#include "icon_xpm.h"

#include <QPixmap>

namespace window {

QIcon programIcon() {
  return QIcon(QPixmap(kIconXpm));
}

}  // namespace window
