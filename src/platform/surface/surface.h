// SPDX-License-Identifier: GPL-3.0-or-later
// What the pattern renderer needs of a drawing surface; the canvas is one, and tests record.
#pragma once

#include "runtime/runtime.h"

#include <QRectF>

#include <span>

namespace platform {

// One filled circle of a run of circles that share a radius: its centre in user units and its
// fill colour.
struct Disc {
  float x;
  float y;
  OleColor fill;
};

class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  // Erases everything drawn to the back colour.
  virtual void Cls() = 0;
  virtual void setFillColor(OleColor color) = 0;
  // A circle at (x, y) with radius `radius`, in user units; outline in the foreground colour.
  virtual void Circle(float x, float y, float radius) = 0;
  // True when circles are filled opaquely, so one that covers the whole surface hides all
  // drawn before it.
  virtual bool fillsSolid() const = 0;
  // The part of the user coordinate space that can show anything, with a margin for antialiasing.
  virtual QRectF visibleArea() const = 0;

  // Many circles at once, drawn in horizontal strips by several threads. After
  // beginStrips(n, reach), drawDiscs(discs, radius, s) for s from 0 to n - 1 may run at the same
  // time on different threads; each draws every disc in order, touching only its own strip, so
  // together they make the picture of drawing the discs one after the other, each with
  // setFillColor(fill) and Circle(). `reach` (user units) holds every pixel the discs can touch,
  // so the strips share out its rows. endStrips() follows on the thread that called
  // beginStrips(). FillColor is then the caller's to set. A surface that cannot be split draws in
  // one strip.
  virtual int maxStrips() const { return 1; }
  virtual void beginStrips(int /*strips*/, const QRectF& /*reach*/) {}
  virtual void drawDiscs(std::span<const Disc> discs, float radius, int /*strip*/) {
    for (const Disc& disc : discs) {
      setFillColor(disc.fill);
      Circle(disc.x, disc.y, radius);
    }
  }
  virtual void endStrips() {}
  // Device pixels to a user unit, for judging how much work a circle is.
  virtual double devicePixelsPerUnit() const { return 1.0; }
};

}  // namespace platform
