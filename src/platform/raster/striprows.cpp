// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/striprows.h"

#include <cmath>
#include <limits>

namespace platform {

UserRows userRowsOf(double top, double perUnit, double above, double below) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (!(perUnit > 0) && !(perUnit < 0)) return {-kInfinity, kInfinity};
  // Each step of the row's formula rounds monotonically, so the row grows with y for a positive
  // perUnit and falls for a negative one: once a y's row lies before [above, below] (or past
  // it), so do the rows of all y below (above) it.
  const bool rising = perUnit > 0;
  const auto row = [&](float y) { return (double{y} - top) * perUnit; };
  const auto belowAll = [&](float y) { return rising ? row(y) < above : row(y) > below; };
  const auto aboveAll = [&](float y) { return rising ? row(y) > below : row(y) < above; };
  // From the nearest float to where the rows begin and end, a step or two out.
  constexpr int kMostSteps = 16;
  float first = static_cast<float>(top + (rising ? above : below) / perUnit);
  float last = static_cast<float>(top + (rising ? below : above) / perUnit);
  UserRows rows{-kInfinity, kInfinity};
  for (int step = 0; step < kMostSteps; ++step, first = std::nextafter(first, -kInfinity)) {
    if (belowAll(first)) {
      rows.lowest = std::nextafter(first, kInfinity);
      break;
    }
  }
  for (int step = 0; step < kMostSteps; ++step, last = std::nextafter(last, kInfinity)) {
    if (aboveAll(last)) {
      rows.highest = std::nextafter(last, -kInfinity);
      break;
    }
  }
  return rows;
}

}  // namespace platform
