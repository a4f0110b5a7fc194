// SPDX-License-Identifier: GPL-3.0-or-later
// Text box and scroll bar whose Change handler runs for every change of Text or Value, made by
// the user or by code. A change made by code runs the handler nested inside the assignment, so
// the whole chain it starts has finished when the assignment returns; a runtime error raised in
// it travels back to the assigning code. A change made by the user reaches the same handler as
// an event entry point.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cstdint>
#include <functional>

namespace platform {

using ChangeHandler = std::function<void()>;

// `handler`, or one that does nothing in place of none.
inline ChangeHandler orNothing(ChangeHandler handler) {
  return handler ? std::move(handler) : ChangeHandler([] {});
}

class TextBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit TextBox(QWidget* parent = nullptr);

  void setChangeHandler(ChangeHandler handler) { onChange_ = orNothing(std::move(handler)); }

  // Sets Text; when it differs from the current text, runs the Change handler before returning.
  void assignText(const QString& text);

 private:
  ChangeHandler onChange_ = [] {};
};

class ScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit ScrollBar(QWidget* parent = nullptr);

  void setChangeHandler(ChangeHandler handler) { onChange_ = orNothing(std::move(handler)); }

  std::int16_t Value() const { return static_cast<std::int16_t>(value()); }
  std::int16_t Min() const { return static_cast<std::int16_t>(minimum()); }
  std::int16_t Max() const { return static_cast<std::int16_t>(maximum()); }

  // Sets Value; a value outside Min..Max is refused with InvalidPropertyValue. When the value
  // differs from the current one, runs the Change handler before returning. A thumb the user is
  // dragging is not moved.
  void assignValue(int value);

 protected:
  // The keys of a horizontal bar on the desktop: right and down one step up, left and up one
  // down, Page Down and Page Up a page, Home and End to Min and Max, each a change like a click.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ChangeHandler onChange_ = [] {};
};

// A push button that Enter and Return click while it has the focus, as Space does.
class PushButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace platform
