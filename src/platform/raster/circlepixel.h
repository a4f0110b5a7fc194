// SPDX-License-Identifier: GPL-3.0-or-later
// The colour of one pixel of an exact antialiased circle, shared by the exact rasteriser and the
// sprites made from it. For the rasteriser's own files only.
#pragma once

#include "raster/raster.h"

#include <QRgb>

namespace platform {

// The premultiplied colour of the pixel whose centre lies (dx, dy) from the centre of a circle
// of radius r.
QRgb circlePixel(double dx, double dy, double r, const CircleStyle& style);

}  // namespace platform
