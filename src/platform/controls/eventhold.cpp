// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/eventhold.h"

#include "runtime/events.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {

// A kept event or handler on its way back through the event loop.
template <typename Item>
class KeptEvent : public QEvent {
 public:
  static Type kind() {
    static const Type type = static_cast<Type>(registerEventType());
    return type;
  }
  explicit KeptEvent(Item kept) : QEvent(kind()), item(std::move(kept)) {}
  Item item;
};

// Makes `event` again later. A pointer event cannot simply be copied: its point is shared with
// every later event of the same device, which changes it, so its values are kept instead.
std::function<std::unique_ptr<QEvent>()> remakeOf(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      const auto* m = static_cast<const QMouseEvent*>(event);
      return [type = m->type(), at = m->position(), scene = m->scenePosition(),
              global = m->globalPosition(), button = m->button(), buttons = m->buttons(),
              modifiers = m->modifiers(), device = m->pointingDevice(), time = m->timestamp()] {
        auto made = std::make_unique<QMouseEvent>(type, at, scene, global, button, buttons,
                                                  modifiers, device);
        made->setTimestamp(time);
        return std::unique_ptr<QEvent>(std::move(made));
      };
    }
    case QEvent::Wheel: {
      const auto* w = static_cast<const QWheelEvent*>(event);
      return [at = w->position(), global = w->globalPosition(), pixels = w->pixelDelta(),
              angle = w->angleDelta(), buttons = w->buttons(), modifiers = w->modifiers(),
              phase = w->phase(), inverted = w->inverted(), device = w->pointingDevice(),
              time = w->timestamp()] {
        auto made =
            std::make_unique<QWheelEvent>(at, global, pixels, angle, buttons, modifiers, phase,
                                          inverted, Qt::MouseEventNotSynthesized, device);
        made->setTimestamp(time);
        return std::unique_ptr<QEvent>(std::move(made));
      };
    }
    case QEvent::Enter: {
      const auto* e = static_cast<const QEnterEvent*>(event);
      return [at = e->position(), scene = e->scenePosition(), global = e->globalPosition(),
              device = e->pointingDevice()] {
        return std::unique_ptr<QEvent>(std::make_unique<QEnterEvent>(at, scene, global, device));
      };
    }
    default:
      return [copy = std::shared_ptr<QEvent>(event->clone())] {
        return std::unique_ptr<QEvent>(copy->clone());
      };
  }
}

bool isPointerInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::NativeGesture:
      return true;
    default:
      return false;
  }
}

bool isInput(QEvent::Type type) {
  return isPointerInput(type) || type == QEvent::KeyPress || type == QEvent::KeyRelease ||
         type == QEvent::InputMethod;
}

bool isEscape(const QEvent* event) {
  return (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
         static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape;
}

}  // namespace

EventHold::EventHold(QWidget* window) : QObject(window), window_(window) {}

EventHold::~EventHold() {
  if (depth_ > 0) setHandlerKeeper({});
}

void EventHold::begin() {
  if (depth_++ > 0) return;
  setHandlerKeeper([this](std::function<void()>& handler) {
    kept_.push_back({{}, {}, std::move(handler)});
    return true;
  });
  updateFilter();
}

void EventHold::end() {
  if (depth_ == 0 || --depth_ > 0) return;
  setHandlerKeeper({});
  updateFilter();
  // Posted in the order they came; the event loop delivers posted events in that order, before
  // any input that arrives after them.
  for (Kept& kept : std::exchange(kept_, {})) {
    QCoreApplication::postEvent(this, new KeptEvent<Kept>(std::move(kept)));
  }
}

void EventHold::setEscapeCancels(bool cancels) {
  escapeCancels_ = cancels;
  updateFilter();
}

void EventHold::updateFilter() {
  const bool wanted = depth_ > 0 || escapeCancels_;
  if (wanted == filtering_) return;
  filtering_ = wanted;
  if (wanted) {
    QCoreApplication::instance()->installEventFilter(this);
  } else {
    QCoreApplication::instance()->removeEventFilter(this);
  }
}

bool EventHold::belongsToWindow(const QObject* object) const {
  if (object->isWidgetType()) return static_cast<const QWidget*>(object)->window() == window_;
  return object->isWindowType() && object == window_->windowHandle();
}

bool EventHold::isExempt(const QObject* object) const {
  if (!exempt_ || !object->isWidgetType()) return false;
  const auto* widget = static_cast<const QWidget*>(object);
  return widget == exempt_ || exempt_->isAncestorOf(widget);
}

bool EventHold::pointerForIndicator(const QEvent* event) {
  QPointF at;
  Qt::MouseButtons buttons;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<const QMouseEvent*>(event);
      at = mouse->position();
      buttons = mouse->buttons();
      break;
    }
    case QEvent::Wheel:
      at = static_cast<const QWheelEvent*>(event)->position();
      break;
    default:
      return false;
  }
  // Input already waiting comes first: nothing may overtake it, not even a click on the
  // indicator.
  if (!kept_.empty()) return false;
  const bool over = exempt_ && exempt_->isVisible() && isExempt(window_->childAt(at.toPoint()));
  if (event->type() == QEvent::MouseButtonPress && over) indicatorPressed_ = true;
  const bool forIndicator = over || indicatorPressed_;
  if (event->type() == QEvent::MouseButtonRelease && buttons == Qt::NoButton) {
    indicatorPressed_ = false;
  }
  return forIndicator;
}

bool EventHold::eventFilter(QObject* watched, QEvent* event) {
  if (!belongsToWindow(watched) || isExempt(watched)) return false;
  if (isEscape(event)) {
    // The cancel gesture acts at once and is not kept.
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->type() == QEvent::KeyPress && !key->isAutoRepeat() && cancel_) cancel_();
    return true;
  }
  if (depth_ == 0) return false;
  const QEvent::Type type = event->type();
  if (type == QEvent::Timer) {
    // A control's own timer (a bar's auto-repeat, a button's animated click) waits too; a timer
    // whose event is not delivered fires again at its next interval.
    return watched->isWidgetType();
  }
  if (watched->isWindowType()) {
    // Everything the window system sends the window: kept unless it is meant for the indicator.
    const bool enterOrLeave = type == QEvent::Enter || type == QEvent::Leave;
    if (!isInput(type) && !enterOrLeave) return false;
    if (enterOrLeave ? kept_.empty() : pointerForIndicator(event)) return false;
  } else {
    // A widget: input sent to it straight, not through the window (which has decided already).
    if (!isInput(type) || event->spontaneous()) return false;
  }
  kept_.push_back({watched, remakeOf(event), {}});
  return true;
}

bool EventHold::event(QEvent* event) {
  if (event->type() != KeptEvent<Kept>::kind()) return QObject::event(event);
  deliver(std::move(static_cast<KeptEvent<Kept>*>(event)->item));
  return true;
}

void EventHold::deliver(Kept kept) {
  if (depth_ > 0) {
    // Another drawing has started meanwhile: kept again, behind what came before.
    kept_.push_back(std::move(kept));
  } else if (kept.handler) {
    runEvent(kept.handler);
  } else if (kept.receiver) {
    const std::unique_ptr<QEvent> made = kept.remake();
    QCoreApplication::sendEvent(kept.receiver, made.get());
  }
}

}  // namespace platform
