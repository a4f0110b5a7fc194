// SPDX-License-Identifier: GPL-3.0-or-later
#include "kernels/kernels.h"

#include "kernels/portable.h"
#if defined(QUIRLBILD_AVX2_KERNELS)
#include "kernels/avx2.h"
#endif

#include <cstdlib>

namespace platform {

namespace {

constexpr Kernels kPortable{"portable", portable::positions, portable::discsInRows,
                            portable::placeFour, portable::blitAll};

#if defined(QUIRLBILD_AVX2_KERNELS)
constexpr Kernels kAvx2{"avx2", avx2::positions, avx2::discsInRows, avx2::placeFour, avx2::blitAll};
#endif

bool processorHasAvx2() {
#if defined(QUIRLBILD_AVX2_KERNELS)
  // The only place that asks the processor; GCC and Clang, which build the AVX2 row, have it.
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace

std::vector<const Kernels*> availableKernels() {
  std::vector<const Kernels*> rows{&kPortable};
#if defined(QUIRLBILD_AVX2_KERNELS)
  if (processorHasAvx2()) rows.push_back(&kAvx2);
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
