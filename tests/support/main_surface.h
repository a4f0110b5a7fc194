// SPDX-License-Identifier: GPL-3.0-or-later
// A canvas like the main drawing surface's: 685 x 685 pixels (times the screen scale), -100 .. 100
// on both axes, filled solid.
#pragma once

#include "raster/canvas.h"

#include <cmath>

inline platform::Canvas mainSurface(platform::OleColor fillColor = 0, double scale = 1) {
  platform::Canvas canvas;
  const int side = static_cast<int>(std::lround(685 * scale));
  canvas.resize(QSize(side, side), scale);
  canvas.Scale(-100, -100, 100, 100);
  canvas.setFillSolid(true);
  canvas.setFillColor(fillColor);
  return canvas;
}
