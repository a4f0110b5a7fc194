// SPDX-License-Identifier: GPL-3.0-or-later
// What the pattern renderer needs of a drawing surface; a picture box is one, and tests record.
#pragma once

#include "runtime.h"

#include <QRectF>

namespace platform {

class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  // Erases everything drawn to the back colour.
  virtual void Cls() = 0;
  virtual void setFillColor(OleColor color) = 0;
  // A circle at (x, y) with radius `radius`, in user units; outline in the foreground colour.
  // Returns how many pixels it may have changed: 0 for a circle that cannot be seen.
  virtual long long Circle(float x, float y, float radius) = 0;
  // True when circles are filled opaquely, so one that covers the whole surface hides all
  // drawn before it.
  virtual bool fillsSolid() const = 0;
  // The part of the user coordinate space that can show anything, with a margin for antialiasing.
  virtual QRectF visibleArea() const = 0;

  // Finding circles that a drawing would hide anyway. Circles are offered in reverse drawing
  // order, last drawn first, after beginOcclusion(). occlude() returns true when every pixel the
  // circle would change is covered opaquely by circles offered before it, so drawing it changes
  // nothing in the end; otherwise it notes the pixels this circle covers opaquely and returns
  // false. Only the geometry counts (centre, radius, solid fill), not the colours. A surface that
  // cannot tell hides nothing.
  virtual bool canOcclude() const { return false; }
  virtual void beginOcclusion() {}
  virtual bool occlude(float /*x*/, float /*y*/, float /*radius*/) { return false; }
};

}  // namespace platform
