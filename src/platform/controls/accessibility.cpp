// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/accessibility.h"

#include "controls/picturebox.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace platform {

namespace {

class PictureBoxAccessible : public QAccessibleWidget {
 public:
  explicit PictureBoxAccessible(PictureBox* box)
      : QAccessibleWidget(box, box->isPressable() ? QAccessible::Button : QAccessible::Canvas) {}

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (box()->isPressable()) names.prepend(pressAction());
    return names;
  }

  void doAction(const QString& actionName) override {
    if (actionName == pressAction() && box()->isPressable()) {
      box()->click();
    } else {
      QAccessibleWidget::doAction(actionName);
    }
  }

 private:
  PictureBox* box() const { return static_cast<PictureBox*>(widget()); }
};

QAccessibleInterface* pictureBoxFactory(const QString& /*className*/, QObject* object) {
  if (auto* box = qobject_cast<PictureBox*>(object)) return new PictureBoxAccessible(box);
  return nullptr;
}

const QMetaObject* windowClass = nullptr;

QAccessibleInterface* windowFactory(const QString& /*className*/, QObject* object) {
  if (windowClass && object && object->metaObject() == windowClass && object->isWidgetType()) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  }
  return nullptr;
}

}  // namespace

void installWindowRole(const QMetaObject& window) {
  static const bool installed = [] {
    QAccessible::installFactory(windowFactory);
    return true;
  }();
  (void)installed;
  windowClass = &window;
}

void installAccessibleRoles() {
  static const bool installed = [] {
    QAccessible::installFactory(pictureBoxFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace platform
