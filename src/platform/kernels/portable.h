// SPDX-License-Identifier: GPL-3.0-or-later
// The portable row's kernels, and the pieces of them that the AVX2 row calls for what is left
// over after its wide steps. For the kernels' own files only.
#pragma once

#include "kernels/kernels.h"

namespace platform::portable {

int positions(PositionBlock& block, int count, double divergenceAngle, double radiusStep,
              OleColor fill, Disc* out);
std::size_t discsInRows(const Disc* discs, std::size_t count, UserRows rows, std::uint32_t* out);
int placeFour(const BatchCircle* circles, const SpriteLayout* layouts, QRgb fill,
              const BlitTarget& target, Blit* out, std::int32_t* corners);
void blitAll(const Blit* blits, std::size_t count, qsizetype dstStride);

// Disc number `first` on, their numbers appended to the `kept` already in `out`; returns the new
// count.
std::size_t appendDiscsInRows(const Disc* discs, std::size_t first, std::size_t count,
                              UserRows rows, std::uint32_t* out, std::size_t kept);
// The disc of the point at place k of the block from its cosine and sine, or, when not sure of
// its float, k appended to the block's unsure points (counted by `unsure`).
void positionFromCosSin(PositionBlock& block, int k, double radiusStep, OleColor fill, Disc* out,
                        int& unsure);

}  // namespace platform::portable
