// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX2 row's kernels: to be called only where the processor has AVX2. For the kernels' own
// files only.
#pragma once

#include "kernels/kernels.h"

namespace platform::avx2 {

int positions(PositionBlock& block, int count, double divergenceAngle, double radiusStep,
              OleColor fill, Disc* out);
std::size_t discsInRows(const Disc* discs, std::size_t count, UserRows rows, std::uint32_t* out);
int placeFour(const BatchCircle* circles, const SpriteLayout* layouts, QRgb fill,
              const BlitTarget& target, Blit* out, std::int32_t* corners);
void blitAll(const Blit* blits, std::size_t count, qsizetype dstStride);

}  // namespace platform::avx2
