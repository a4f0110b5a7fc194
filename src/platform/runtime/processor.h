// SPDX-License-Identifier: GPL-3.0-or-later
// What the processor offers the hot loops beyond the baseline they are built for.
#pragma once

#include <cstdlib>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Functions built for AVX2 as well, chosen when the program runs.
#define QUIRLBILD_AVX2 1
#endif

namespace platform {

// Whether the loops built for AVX2 may run: the processor has it, and QUIRLBILD_NO_AVX2 is not
// set (which measures and tests the baseline loops on a processor that has it). Asked once.
inline bool useAvx2() {
#if defined(QUIRLBILD_AVX2)
  static const bool use =
      __builtin_cpu_supports("avx2") && std::getenv("QUIRLBILD_NO_AVX2") == nullptr;
  return use;
#else
  return false;
#endif
}

}  // namespace platform
