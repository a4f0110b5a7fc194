// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/controls.h"

#include "runtime/events.h"

#include <QKeyEvent>
#include <QSignalBlocker>

namespace platform {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
  // Code-made changes block this signal, so it fires for the user's edits only.
  onEvent(this, &QLineEdit::textChanged, this, [this] {
    if (onChange_) onChange_();
  });
}

void TextBox::assignText(const QString& text) {
  if (text == this->text()) return;
  {
    const QSignalBlocker blocker(this);
    setText(text);
  }
  if (onChange_) onChange_();
}

ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  // A dragged thumb changes Value once, when it is let go.
  setTracking(false);
  onEvent(this, &QAbstractSlider::valueChanged, this, [this] {
    if (onChange_) onChange_();
  });
}

void ScrollBar::assignValue(int value) {
  if (value < minimum() || value > maximum()) {
    throw RuntimeError(RuntimeError::InvalidPropertyValue);
  }
  if (value == this->value()) return;
  {
    const QSignalBlocker blocker(this);
    setValue(value);
  }
  if (onChange_) onChange_();
}

void ScrollBar::keyPressEvent(QKeyEvent* event) {
  SliderAction action = SliderNoAction;
  switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
      action = SliderSingleStepAdd;
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      action = SliderSingleStepSub;
      break;
    case Qt::Key_PageDown:
      action = SliderPageStepAdd;
      break;
    case Qt::Key_PageUp:
      action = SliderPageStepSub;
      break;
    case Qt::Key_Home:
      action = SliderToMinimum;
      break;
    case Qt::Key_End:
      action = SliderToMaximum;
      break;
    default:
      QScrollBar::keyPressEvent(event);
      return;
  }
  triggerAction(action);
  event->accept();
}

void PushButton::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

}  // namespace platform
