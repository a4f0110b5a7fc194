// SPDX-License-Identifier: GPL-3.0-or-later
// A case's description as a test name: letters and digits kept, everything else an underscore.
#pragma once

#include <cctype>
#include <string>

inline std::string testNameOf(std::string description) {
  for (char& ch : description) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return description;
}
