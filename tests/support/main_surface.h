// SPDX-License-Identifier: GPL-3.0-or-later
// A canvas like the main drawing surface's: 685 x 685 pixels, -100 .. 100 on both axes, filled
// solid.
#pragma once

#include "raster/canvas.h"

inline platform::Canvas mainSurface(platform::OleColor fillColor = 0) {
  platform::Canvas canvas;
  canvas.resize(QSize(685, 685), 1.0);
  canvas.Scale(-100, -100, 100, 100);
  canvas.setFillSolid(true);
  canvas.setFillColor(fillColor);
  return canvas;
}
