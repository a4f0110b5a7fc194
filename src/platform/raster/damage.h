// SPDX-License-Identifier: GPL-3.0-or-later
// What changed on a layer: a list of rectangles, until they add up to more than a limit, and from
// then on simply all of it, for which one operation on the whole layer costs less than one a
// rectangle.
#pragma once

#include <QRect>

#include <algorithm>
#include <vector>

namespace platform {

class Damage {
 public:
  // Past `mostArea` pixels (overlaps counted each time) the damage is all of the layer.
  void setLimit(qint64 mostArea) { limit_ = mostArea; }

  // Once all, a test and nothing more: a redraw of many circles adds one for each.
  [[gnu::always_inline]] void add(const QRect& rect) {
    if (all_ || rect.isEmpty()) return;
    addRect(rect);
  }
  void addAll() {
    all_ = true;
    rects_.clear();
  }
  void clear() {
    rects_.clear();
    bounds_ = QRect();
    area_ = 0;
    all_ = false;
  }

  bool all() const { return all_; }
  bool empty() const { return !all_ && rects_.empty(); }
  // The rectangles, while not all().
  const std::vector<QRect>& rects() const { return rects_; }
  // Their bounding rectangle, or `layer` once it is all.
  QRect bounds(const QRect& layer) const { return all_ ? layer : bounds_ & layer; }

 private:
  void addRect(const QRect& rect) {
    rects_.push_back(rect);
    // As bounds_ |= rect, inline: this runs for every circle until the damage is all.
    if (rects_.size() == 1) {
      bounds_ = rect;
    } else {
      bounds_.setCoords(std::min(bounds_.left(), rect.left()), std::min(bounds_.top(), rect.top()),
                        std::max(bounds_.right(), rect.right()),
                        std::max(bounds_.bottom(), rect.bottom()));
    }
    area_ += qint64{rect.width()} * rect.height();
    if (area_ > limit_) addAll();
  }

  std::vector<QRect> rects_;
  QRect bounds_;
  qint64 area_ = 0;
  qint64 limit_ = 0;
  bool all_ = false;
};

}  // namespace platform
