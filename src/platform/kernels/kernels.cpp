// SPDX-License-Identifier: GPL-3.0-or-later
#include "kernels/kernels.h"

#include "kernels/portable.h"
#if defined(QUIRLBILD_AVX2_KERNELS)
#include "kernels/avx2.h"
#endif

#include <cstdlib>

namespace platform {

namespace {

bool processorHasAvx2() {
#if defined(QUIRLBILD_AVX2_KERNELS)
  // The only place that asks the processor; GCC and Clang, which build the AVX2 row, have it.
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace

BlitTarget BlitTarget::of(int firstColumn, int firstRow, int endColumn, int endRow, int stride,
                          std::intptr_t origin) {
  BlitTarget target;
  for (int lane = 0; lane < 4; ++lane) {
    target.first[lane] = firstColumn;
    target.first[lane + 4] = firstRow;
    target.end[lane] = endColumn;
    target.end[lane + 4] = endRow;
  }
  target.stride = stride;
  target.origin = origin;
  return target;
}

std::vector<const Kernels*> availableKernels() {
  std::vector<const Kernels*> rows{&portable::kernelRow};
#if defined(QUIRLBILD_AVX2_KERNELS)
  if (processorHasAvx2()) rows.push_back(&avx2::kernelRow);
#endif
  return rows;
}

const Kernels& kernels() {
  static const Kernels& chosen = []() -> const Kernels& {
    const std::vector<const Kernels*> rows = availableKernels();
    return std::getenv("QUIRLBILD_NO_AVX2") != nullptr ? *rows.front() : *rows.back();
  }();
  return chosen;
}

}  // namespace platform
