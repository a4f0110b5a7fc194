// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/controls.h"

#include "runtime/events.h"

#include <QKeyEvent>
#include <QSignalBlocker>

namespace platform {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
  // Code-made changes block this signal, so it fires for the user's edits only. The handler by
  // reference: it is set after the control is made.
  onEvent(this, &QLineEdit::textChanged, this, std::cref(onChange_));
}

void TextBox::assignText(const QString& text) {
  if (text == this->text()) return;
  {
    const QSignalBlocker blocker(this);
    setText(text);
  }
  onChange_();
}

ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  // A dragged thumb changes Value once, when it is let go.
  setTracking(false);
  onEvent(this, &QAbstractSlider::valueChanged, this, std::cref(onChange_));
}

void ScrollBar::assignValue(int value) {
  if (value < minimum() || value > maximum()) {
    throw RuntimeError(RuntimeError::InvalidPropertyValue);
  }
  if (value == this->value()) return;
  {
    const QSignalBlocker blocker(this);
    // A thumb the user holds stays under the pointer: when it is let go, the bar takes the
    // dragged value, as it would have without this change.
    const bool held = isSliderDown();
    const int heldAt = sliderPosition();
    setValue(value);
    if (held) setSliderPosition(heldAt);
  }
  onChange_();
}

void ScrollBar::keyPressEvent(QKeyEvent* event) {
  struct KeyAction {
    int key;
    SliderAction action;
  };
  static constexpr KeyAction kKeys[] = {
      {Qt::Key_Right, SliderSingleStepAdd},  {Qt::Key_Down, SliderSingleStepAdd},
      {Qt::Key_Left, SliderSingleStepSub},   {Qt::Key_Up, SliderSingleStepSub},
      {Qt::Key_PageDown, SliderPageStepAdd}, {Qt::Key_PageUp, SliderPageStepSub},
      {Qt::Key_Home, SliderToMinimum},       {Qt::Key_End, SliderToMaximum}};
  for (const KeyAction& k : kKeys) {
    if (event->key() == k.key) {
      triggerAction(k.action);
      event->accept();
      return;
    }
  }
  QScrollBar::keyPressEvent(event);
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
