// SPDX-License-Identifier: GPL-3.0-or-later
// The sprite path of the circle rasteriser against the exact per-pixel rasteriser: for any centre,
// radius and pen, a circle drawn from a sprite matches the exact circle at the sprite's grid
// position within one step per channel.
#include "raster/raster.h"

#include <QImage>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double values[3];
  std::uint8_t flags = 0;
  if (size < sizeof values + 1) return 0;
  std::memcpy(values, data, sizeof values);
  flags = data[sizeof values];
  const double radius = std::fmod(std::abs(values[2]), 64.0);
  if (!std::isfinite(values[0]) || !std::isfinite(values[1]) || !(radius > 0)) return 0;
  const int steps = radius <= 16 ? 8 : 4;
  const double cx = 80 + std::fmod(values[0], 8.0);
  const double cy = 80 + std::fmod(values[1], 8.0);
  const platform::CircleStyle style{0xFF000000u | (flags * 0x01030507u & 0xFFFFFF), 0xFF20C040,
                                    (flags & 1) != 0, 1.0 + (flags >> 6) * 0.5};
  QImage sprite(160, 160, QImage::Format_ARGB32_Premultiplied);
  QImage exact(160, 160, QImage::Format_ARGB32_Premultiplied);
  sprite.fill(Qt::transparent);
  exact.fill(Qt::transparent);
  platform::CircleRasterizer rasterizer;
  rasterizer.draw(sprite, cx, cy, radius, style);
  platform::rasterCircle(exact, std::nearbyint(cx * steps) / steps,
                         std::nearbyint(cy * steps) / steps, radius, style);
  for (int y = 0; y < 160; ++y) {
    const auto* a = reinterpret_cast<const QRgb*>(sprite.constScanLine(y));
    const auto* b = reinterpret_cast<const QRgb*>(exact.constScanLine(y));
    for (int x = 0; x < 160; ++x) {
      for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a[x] >> shift) & 0xFF) - int((b[x] >> shift) & 0xFF)) > 1) std::abort();
      }
    }
  }
  return 0;
}
