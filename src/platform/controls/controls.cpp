// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls.h"

#include "events.h"

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

}  // namespace platform
