// SPDX-License-Identifier: GPL-3.0-or-later
// The portable row, and the pieces of its kernels that the AVX2 row calls for what is left over
// after its wide steps. For the kernels' own files only.
#pragma once

#include "kernels/kernels.h"

namespace platform::portable {

// The row of kernels in plain C++.
extern const Kernels kernelRow;

// Disc number `first` on, their numbers appended to the `kept` already in `out`; returns the new
// count.
std::size_t appendDiscsInRows(const Disc* discs, std::size_t first, std::size_t count,
                              UserRows rows, std::uint32_t* out, std::size_t kept);
// The disc of the point at place k of the block from its cosine and sine, or, when not sure of
// its float, k appended to the block's unsure points (counted by `unsure`).
void positionFromCosSin(PositionBlock& block, int k, double radiusStep, OleColor fill, Disc* out,
                        int& unsure);

}  // namespace platform::portable
