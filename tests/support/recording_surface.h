// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing surface that records what is drawn on it instead of drawing.
#pragma once

#include "surface/surface.h"

#include <vector>

struct RecordedCircle {
  float x;
  float y;
  float radius;
  platform::OleColor fill;
};

class RecordingSurface : public platform::DrawingSurface {
 public:
  void Cls() override {
    ++clears;
    circles.clear();
  }
  void setFillColor(platform::OleColor color) override { fill = color; }
  void Circle(float x, float y, float radius) override { circles.push_back({x, y, radius, fill}); }
  bool fillsSolid() const override { return solid; }
  QRectF visibleArea() const override { return area; }

  int clears = 0;
  platform::OleColor fill = 0;
  std::vector<RecordedCircle> circles;
  QRectF area{-101, -101, 202, 202};
  bool solid = false;
};
