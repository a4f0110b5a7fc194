// SPDX-License-Identifier: GPL-3.0-or-later
#include "QTest"

#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <functional>

// Qt's friend of QEvent that may mark an event as coming from the window system, as Qt Test's
// does: input that a widget receives from the window system is not kept back by the program while
// it draws (the window's own filter has decided on it already).
class QSpontaneKeyEvent {
 public:
  static void setSpontaneous(QEvent* event) { event->setSpontaneous(); }
};

// From QtGui: offers a key press to the application's shortcuts first, as the window system's
// key input is.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* receiver, ulong timestamp, int key,
                                               Qt::KeyboardModifiers modifiers, const QString& text,
                                               bool autorepeat, ushort count);

namespace QTest {
namespace {

Qt::MouseButtons buttonsHeld;
// Milliseconds; each release moves it on by more than the double-click interval, so that two
// clicks never make a double click.
ulong mouseTimestamp = 0;

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    qWait(10);
  }
  return true;
}

// Until the window of `widget` has one, and `state` holds for it.
bool waitForWindow(QWidget* widget, bool (QWindow::*state)() const, int timeoutMs) {
  return waitFor(
      [widget, state] {
        const QWindow* window = widget->window()->windowHandle();
        return window != nullptr && (window->*state)();
      },
      timeoutMs);
}

void sendKey(QWidget* widget, bool press, int key, Qt::KeyboardModifiers modifiers,
             const QString& text) {
  QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, text);
  QSpontaneKeyEvent::setSpontaneous(&event);
  if (press &&
      qt_sendShortcutOverrideEvent(widget, event.timestamp(), key, modifiers, text, false, 1)) {
    return;
  }
  QApplication::instance()->notify(widget, &event);
}

void mouseEvent(QEvent::Type type, QWidget* widget, Qt::MouseButton button,
                Qt::KeyboardModifiers modifiers, QPoint position) {
  if (position.isNull()) position = widget->rect().center();
  mouseTimestamp += 1;
  if (type == QEvent::MouseMove && buttonsHeld == Qt::NoButton) {
    // Without a button held the pointer itself moves, and the window system reports it.
    QCursor::setPos(widget->mapToGlobal(position));
    QApplication::processEvents();
    return;
  }
  if (type == QEvent::MouseButtonPress) buttonsHeld |= button;
  if (type == QEvent::MouseButtonRelease) buttonsHeld &= ~Qt::MouseButtons(button);
  QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttonsHeld,
                    modifiers & Qt::KeyboardModifierMask);
  event.setTimestamp(mouseTimestamp);
  if (type == QEvent::MouseButtonRelease) {
    mouseTimestamp += static_cast<ulong>(QApplication::doubleClickInterval());
  }
  QSpontaneKeyEvent::setSpontaneous(&event);
  QApplication::instance()->notify(widget, &event);
}

QWidget* keyReceiver(QWidget* widget) {
  if (widget == nullptr) widget = QWidget::keyboardGrabber();
  if (widget == nullptr) widget = QApplication::focusWidget();
  if (widget == nullptr) widget = QApplication::activeWindow();
  return widget;
}

}  // namespace

void qWait(int ms) {
  const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto remaining = deadline.remainingTime();
    if (remaining <= 0) break;
    QThread::msleep(static_cast<unsigned long>(std::min<qint64>(10, remaining)));
  } while (!deadline.hasExpired());
}

bool qWaitForWindowExposed(QWidget* widget, int timeoutMs) {
  return waitForWindow(widget, &QWindow::isExposed, timeoutMs);
}

bool qWaitForWindowActive(QWidget* widget, int timeoutMs) {
  return waitForWindow(widget, &QWindow::isActive, timeoutMs);
}

char keyToAscii(Qt::Key key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char>(key - Qt::Key_A + 'a');
  if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) return static_cast<char>(key);
  switch (key) {
    case Qt::Key_Backspace:
      return '\b';
    case Qt::Key_Tab:
      return '\t';
    case Qt::Key_Return:
      return '\r';
    case Qt::Key_Enter:
      return '\r';
    case Qt::Key_Escape:
      return '\x1b';
    default:
      return 0;
  }
}

Qt::Key asciiToKey(char ascii) {
  if (ascii >= 'a' && ascii <= 'z') return static_cast<Qt::Key>(Qt::Key_A + (ascii - 'a'));
  if (ascii >= ' ' && ascii <= '~') return static_cast<Qt::Key>(ascii);
  switch (ascii) {
    case '\b':
      return Qt::Key_Backspace;
    case '\t':
      return Qt::Key_Tab;
    case '\r':
      return Qt::Key_Return;
    case '\n':
      return Qt::Key_Return;
    case '\x1b':
      return Qt::Key_Escape;
    default:
      return Qt::Key_unknown;
  }
}

void sendKeyEvent(KeyAction action, QWidget* widget, Qt::Key key, char ascii,
                  Qt::KeyboardModifiers modifiers, int delayMs) {
  widget = keyReceiver(widget);
  if (widget == nullptr) return;
  if (delayMs > 0) qWait(delayMs);
  const QString text = ascii != 0 ? QString(QChar::fromLatin1(ascii)) : QString();
  if (action == Click) {
    const QPointer<QWidget> alive(widget);
    sendKeyEvent(Press, widget, key, ascii, modifiers, delayMs);
    // A key that closes a dialog may take its receiver with it.
    if (alive) sendKeyEvent(Release, widget, key, ascii, modifiers, delayMs);
    return;
  }
  // The modifier keys go down first and come up last, each with the modifiers held before it.
  const std::pair<Qt::KeyboardModifier, Qt::Key> modifierKeys[] = {
      {Qt::ShiftModifier, Qt::Key_Shift},
      {Qt::ControlModifier, Qt::Key_Control},
      {Qt::AltModifier, Qt::Key_Alt},
      {Qt::MetaModifier, Qt::Key_Meta}};
  const bool press = action == Press;
  if (press) {
    Qt::KeyboardModifiers held;
    for (const auto& [modifier, modifierKey] : modifierKeys) {
      if (!(modifiers & modifier)) continue;
      sendKey(widget, true, modifierKey, held, {});
      held |= modifier;
    }
    sendKey(widget, true, key, modifiers, text);
  } else {
    sendKey(widget, false, key, modifiers, text);
    Qt::KeyboardModifiers held = modifiers;
    for (auto it = std::rbegin(modifierKeys); it != std::rend(modifierKeys); ++it) {
      if (!(modifiers & it->first)) continue;
      held &= ~Qt::KeyboardModifiers(it->first);
      sendKey(widget, false, it->second, held, {});
    }
  }
}

void keyClick(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers, int delayMs) {
  sendKeyEvent(Click, widget, key, keyToAscii(key), modifiers, delayMs);
}

void keyClick(QWidget* widget, char key, Qt::KeyboardModifiers modifiers, int delayMs) {
  sendKeyEvent(Click, widget, asciiToKey(key), key, modifiers, delayMs);
}

void keyClicks(QWidget* widget, const QString& text, Qt::KeyboardModifiers modifiers, int delayMs) {
  for (const QChar character : text) keyClick(widget, character.toLatin1(), modifiers, delayMs);
}

void keySequence(QWidget* widget, const QKeySequence& keys) {
  for (int i = 0; i < keys.count(); ++i)
    keyClick(widget, keys[i].key(), keys[i].keyboardModifiers());
}

void mousePress(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                QPoint position, int delayMs) {
  if (delayMs > 0) qWait(delayMs);
  mouseEvent(QEvent::MouseButtonPress, widget, button, modifiers, position);
}

void mouseRelease(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                  QPoint position, int delayMs) {
  if (delayMs > 0) qWait(delayMs);
  mouseEvent(QEvent::MouseButtonRelease, widget, button, modifiers, position);
}

void mouseClick(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                QPoint position, int delayMs) {
  mousePress(widget, button, modifiers, position, delayMs);
  mouseRelease(widget, button, modifiers, position);
}

void mouseMove(QWidget* widget, QPoint position, int delayMs) {
  if (delayMs > 0) qWait(delayMs);
  mouseEvent(QEvent::MouseMove, widget, Qt::NoButton, {}, position);
}

}  // namespace QTest
