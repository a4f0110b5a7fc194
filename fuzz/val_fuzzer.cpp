// SPDX-License-Identifier: GPL-3.0-or-later
// Val on arbitrary text: never crashes, and whatever number it reads, Str writes digits that
// Val reads back as the same number.
#include "runtime/runtime.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  double value = 0;
  try {
    value = platform::Val(text);
  } catch (const platform::RuntimeError& error) {
    if (error.number() != platform::RuntimeError::Overflow) std::abort();
    return 0;
  }
  if (!std::isfinite(value)) std::abort();
  if (platform::Val(platform::Str(value)) != value) std::abort();
  return 0;
}
