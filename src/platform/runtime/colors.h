// SPDX-License-Identifier: GPL-3.0-or-later
// The colour model of the forms runtime: a colour is 0x00BBGGRR (red in the low byte), or
// 0x800000nn for the window system's colour nn, which the palette decides.
#pragma once

#include <cstdint>

namespace platform {

using OleColor = std::uint32_t;

// The window system's colours that the program names, by their number.
enum class SystemColor : int {
  ScrollBar = 0,
  WindowBackground = 5,
  WindowText = 8,
  ButtonFace = 15,
  ButtonText = 18,
};

constexpr OleColor RGB(int red, int green, int blue) {
  return static_cast<OleColor>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

constexpr OleColor systemColor(SystemColor color) {
  return 0x80000000u | static_cast<OleColor>(color);
}

constexpr bool isSystemColor(OleColor color) {
  return (color & 0x80000000u) != 0;
}

constexpr int systemColorNumber(OleColor color) {
  return static_cast<int>(color & 0xFFu);
}

// A plain colour as opaque 0xAARRGGBB, the order of Qt's QRgb.
constexpr std::uint32_t opaqueArgb(OleColor plain) {
  return 0xFF000000u | (plain & 0xFFu) << 16 | (plain & 0xFF00u) | (plain >> 16 & 0xFFu);
}

}  // namespace platform
