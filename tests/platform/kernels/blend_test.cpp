// SPDX-License-Identifier: GPL-3.0-or-later
#include "kernels/blend.h"
#include "kernels/kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// A premultiplied pixel: no channel above its alpha; fully transparent and opaque ones often.
QRgb randomPremultiplied(std::mt19937& random) {
  const unsigned kind = random() % 4;
  const unsigned alpha = kind == 0 ? 0 : (kind == 1 ? 255 : random() % 256);
  const auto channel = [&] {
    return alpha == 0 ? 0u : static_cast<unsigned>(random() % (alpha + 1));
  };
  return alpha << 24 | channel() << 16 | channel() << 8 | channel();
}

// Source over, channel by channel: the source plus the destination times (255 - source alpha)
// divided by 255, rounded as the drawing has always rounded it.
QRgb sourceOver(QRgb dst, QRgb src) {
  const unsigned keep = 255 - (src >> 24);
  QRgb out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const unsigned t = ((dst >> shift) & 0xFF) * keep;
    out |= (((src >> shift) & 0xFF) + ((t + (t >> 8) + 0x80) >> 8)) << shift;
  }
  return out;
}

struct BlitCase {
  int columns;
  int rows;
};

class Blits : public testing::TestWithParam<BlitCase> {};

// Each row's blitting blends every pixel of every row as source over does, and touches nothing
// else: not the pixels before or after a row, even where the row ends the image's line.
TEST_P(Blits, BlendEachPixelAndTouchNothingElse) {
  // Named, not bound: older clang cannot capture a structured binding in a lambda.
  const int columns = GetParam().columns;
  const int rows = GetParam().rows;
  constexpr int kLeft = 3;  // the first blit starts here; the second ends its lines
  const int stride = 2 * columns + 2 * kLeft;
  std::mt19937 random(static_cast<unsigned>(columns * 100 + rows));
  // The sprite's rows padded with transparent pixels to a multiple of eight, as sprites are.
  const int padded = (columns + 7) / 8 * 8;
  std::vector<QRgb> src(static_cast<std::size_t>(padded) * rows, 0);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x)
      src[static_cast<std::size_t>(y * padded + x)] = randomPremultiplied(random);
  }
  std::vector<QRgb> before(static_cast<std::size_t>(stride) * rows);
  for (QRgb& pixel : before) pixel = randomPremultiplied(random);
  std::vector<QRgb> expected = before;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const QRgb s = src[static_cast<std::size_t>(y * padded + x)];
      QRgb& first = expected[static_cast<std::size_t>(y * stride + kLeft + x)];
      first = sourceOver(first, s);
      QRgb& second = expected[static_cast<std::size_t>(y * stride + stride - columns + x)];
      second = sourceOver(second, s);
    }
  }
  for (const platform::Kernels* kernels : platform::availableKernels()) {
    std::vector<QRgb> image = before;
    const platform::Blit blits[] = {
        // Room for the padding after the first blit's rows; the second one's end their lines.
        {image.data() + kLeft, src.data(), rows, columns, padded, std::min(padded, stride - kLeft)},
        {image.data() + stride - columns, src.data(), rows, columns, padded, columns}};
    kernels->blitAll(blits, 2, stride);
    EXPECT_EQ(image, expected) << kernels->name;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Blits,
                         testing::Values(BlitCase{1, 1}, BlitCase{3, 5}, BlitCase{4, 4},
                                         BlitCase{5, 6}, BlitCase{7, 3}, BlitCase{8, 2},
                                         BlitCase{9, 9}, BlitCase{16, 1}, BlitCase{17, 4},
                                         BlitCase{31, 2}, BlitCase{0, 3}),
                         [](const testing::TestParamInfo<BlitCase>& param) {
                           return std::to_string(param.param.columns) + "_columns_" +
                                  std::to_string(param.param.rows) + "_rows";
                         });

}  // namespace
