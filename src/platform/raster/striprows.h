// SPDX-License-Identifier: GPL-3.0-or-later
// Which discs of a piece fall on a strip of rows: every strip looks at every disc of a piece,
// so the test comes before any arithmetic in double precision, on the discs' own floats.
#pragma once

#include "surface/surface.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// User y values [lowest, highest] outside which a centre's device row, (y - top) * perUnit in
// double precision, lies outside [above, below]; one inside them may still lie outside, a float's
// step or so. Unbounded where perUnit is zero or not a number.
struct UserRows {
  float lowest;
  float highest;
};
UserRows userRowsOf(double top, double perUnit, double above, double below);

// Writes to `out` the numbers of the discs whose y lies in `rows` or is not a number, in order,
// and returns how many; `out` holds discs.size() numbers. Eight discs at a time where the
// processor has AVX2.
std::size_t discsInRows(std::span<const Disc> discs, UserRows rows, std::uint32_t* out);

// The two ways, for the tests: the same numbers from each.
std::size_t discsInRowsPortably(std::span<const Disc> discs, UserRows rows, std::uint32_t* out);
// False where the processor or the compiler has no AVX2; then it writes nothing.
bool discsInRowsWithAvx2(std::span<const Disc> discs, UserRows rows, std::uint32_t* out,
                         std::size_t& count);

}  // namespace platform
