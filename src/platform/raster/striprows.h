// SPDX-License-Identifier: GPL-3.0-or-later
// Which discs of a piece fall on a strip of rows: every strip looks at every disc of a piece,
// so the test comes before any arithmetic in double precision, on the discs' own floats.
#pragma once

#include "kernels/kernels.h"

namespace platform {

// User y values [lowest, highest] outside which a centre's device row, (y - top) * perUnit in
// double precision, lies outside [above, below]; one inside them may still lie outside, a float's
// step or so. Unbounded where perUnit is zero or not a number.
UserRows userRowsOf(double top, double perUnit, double above, double below);

}  // namespace platform
