// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX2 row: to be called only where the processor has AVX2. For the kernels' own
// files only.
#pragma once

#include "kernels/kernels.h"

namespace platform::avx2 {

// The row of kernels built for AVX2.
extern const Kernels kernelRow;

}  // namespace platform::avx2
