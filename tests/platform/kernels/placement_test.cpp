// SPDX-License-Identifier: GPL-3.0-or-later
#include "kernels/kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using platform::BatchCircle;
using platform::Blit;
using platform::BlitTarget;
using platform::SpriteLayout;

constexpr QRgb kFill = 0xFF336699;
constexpr QRgb kOtherFill = 0xFF993366;

// Pixels for the layouts to point into; only their addresses are looked at.
std::vector<QRgb>& spritePixels() {
  static std::vector<QRgb> pixels(64 * 1000);
  return pixels;
}

// Every position's sprite 5 wide and 6 high, from 2 left of and 3 above the centre's pixel, its
// pixels 1000 apart from the next position's.
std::array<SpriteLayout, 64> fiveBySix() {
  std::array<SpriteLayout, 64> layouts;
  for (int k = 0; k < 64; ++k) layouts[k] = {spritePixels().data() + 1000 * k, -2, -3, 5, 6, 8};
  return layouts;
}

// Four circles worked out by hand on an area of columns [0, 100) and rows [0, 100) of an image
// 128 pixels a row: one inside, one whose rows the area's top cuts, one wholly outside and one of
// another fill.
TEST(PlaceFour, PlacesCutsAndPassesOverAsWorkedOutByHand) {
  const std::array<SpriteLayout, 64> layouts = fiveBySix();
  constexpr std::intptr_t kOrigin = 0x100000;
  const BlitTarget target = BlitTarget::of(0, 0, 100, 100, 128, kOrigin);
  // (20.5, 20.25) lies at position (4, 2) of pixel (20, 20); (50.0625, 1) is 400.5 eighths, which
  // rounds to the even 400: position (0, 0) of pixel (50, 1).
  const BatchCircle circles[] = {
      {20.5, 20.25, kFill}, {50.0625, 1.0, kFill}, {500.0, 500.0, kFill}, {30.0, 30.0, kOtherFill}};
  for (const platform::Kernels* kernels : platform::availableKernels()) {
    std::array<Blit, 4> blits{};
    std::array<std::int32_t, 8> corners{};
    const int result =
        kernels->placeFour(circles, layouts.data(), kFill, target, blits.data(), corners.data());
    // Circles 0 and 1 placed, circle 2 passed over, circle 3 left to the caller.
    EXPECT_EQ(result, 0b0011 | 0b0100 << 4) << kernels->name;
    const auto address = [&](int x, int y) {
      return reinterpret_cast<QRgb*>(kOrigin + (y * 128 + x) * 4);
    };
    // Circle 0: sprite 2 * 8 + 4 from (18, 17), all six rows.
    EXPECT_EQ(blits[0].dst, address(18, 17)) << kernels->name;
    EXPECT_EQ(blits[0].src, spritePixels().data() + 20 * 1000) << kernels->name;
    EXPECT_EQ(blits[0].rows, 6) << kernels->name;
    EXPECT_EQ(blits[0].columns, 5) << kernels->name;
    EXPECT_EQ(blits[0].srcStride, 8) << kernels->name;
    EXPECT_EQ(blits[0].reach, 8) << kernels->name;
    EXPECT_EQ(corners[0], 18) << kernels->name;
    EXPECT_EQ(corners[4], 17) << kernels->name;
    // Circle 1: from (48, -2), so its first two rows lie above the area.
    EXPECT_EQ(blits[1].dst, address(48, 0)) << kernels->name;
    EXPECT_EQ(blits[1].src, spritePixels().data() + 2 * 8) << kernels->name;
    EXPECT_EQ(blits[1].rows, 4) << kernels->name;
    EXPECT_EQ(blits[1].columns, 5) << kernels->name;
    EXPECT_EQ(corners[1], 48) << kernels->name;
    EXPECT_EQ(corners[5], 0) << kernels->name;
  }
}

// What no row places: a sprite whose padded row the area's side cuts, a centre that is not a
// number or beyond reach, and a sprite not rendered yet; none of them passed over either.
TEST(PlaceFour, LeavesToTheCallerWhatItCannotPlace) {
  std::array<SpriteLayout, 64> layouts = fiveBySix();
  layouts[4] = {};  // position (4, 0): not rendered
  const BlitTarget target = BlitTarget::of(0, 0, 100, 100, 128, 0x100000);
  // The first sprite starts at column -1; the second's padding (8 pixels from 94) passes 100.
  const BatchCircle cut[] = {{1.0, 50.0, kFill},
                             {96.0, 50.0, kFill},
                             {std::numeric_limits<double>::quiet_NaN(), 5, kFill},
                             {2e9, 5.0, kFill}};
  const BatchCircle unrendered[] = {
      {10.5, 10.0, kFill}, {10.5, 20.0, kFill}, {10.5, 30.0, kFill}, {10.5, 40.0, kFill}};
  for (const platform::Kernels* kernels : platform::availableKernels()) {
    std::array<Blit, 4> blits{};
    std::array<std::int32_t, 8> corners{};
    EXPECT_EQ(kernels->placeFour(cut, layouts.data(), kFill, target, blits.data(), corners.data()),
              0)
        << kernels->name;
    EXPECT_EQ(
        kernels->placeFour(unrendered, layouts.data(), kFill, target, blits.data(), corners.data()),
        0)
        << kernels->name;
  }
}

// Every row places what the portable one places, the same way, for random circles and sprites:
// in the area, across its edges, far out, not numbers, of either fill, sprites of every size.
TEST(PlaceFour, EveryRowPlacesAsThePortableOne) {
  const std::vector<const platform::Kernels*> rows = platform::availableKernels();
  std::mt19937 random(5);
  std::uniform_real_distribution<double> around(-30.0, 230.0);
  std::uniform_int_distribution<int> size(-1, 20);
  const BlitTarget target = BlitTarget::of(10, 20, 190, 180, 256, 0x400000);
  for (int round = 0; round < 2000; ++round) {
    std::array<SpriteLayout, 64> layouts;
    for (int k = 0; k < 64; ++k) {
      const auto width = static_cast<std::int16_t>(size(random));
      layouts[k] = {spritePixels().data() + 1000 * k,
                    static_cast<std::int16_t>(-(random() % 12)),
                    static_cast<std::int16_t>(-(random() % 12)),
                    width,
                    static_cast<std::int16_t>(std::max(0, size(random))),
                    static_cast<std::int16_t>(width > 8 ? 16 : 8)};
    }
    std::array<BatchCircle, 4> circles;
    for (BatchCircle& circle : circles) {
      const unsigned kind = random() % 16;
      circle = {around(random), around(random), random() % 4 == 0 ? kOtherFill : kFill};
      if (kind == 0) circle.cx = std::numeric_limits<double>::quiet_NaN();
      if (kind == 1) circle.cy = -std::numeric_limits<double>::infinity();
      if (kind == 2) circle.cx = 5e8;
    }
    std::array<Blit, 4> expected{};
    std::array<std::int32_t, 8> expectedCorners{};
    const int expectedResult = rows.front()->placeFour(
        circles.data(), layouts.data(), kFill, target, expected.data(), expectedCorners.data());
    for (const platform::Kernels* kernels : rows) {
      std::array<Blit, 4> blits{};
      std::array<std::int32_t, 8> corners{};
      const int result = kernels->placeFour(circles.data(), layouts.data(), kFill, target,
                                            blits.data(), corners.data());
      ASSERT_EQ(result, expectedResult) << kernels->name << ", round " << round;
      for (int lane = 0; lane < 4; ++lane) {
        if ((result >> lane & 1) == 0) continue;
        EXPECT_EQ(blits[lane].dst, expected[lane].dst) << kernels->name << ", round " << round;
        EXPECT_EQ(blits[lane].src, expected[lane].src) << kernels->name << ", round " << round;
        EXPECT_EQ(blits[lane].rows, expected[lane].rows) << kernels->name << ", round " << round;
        EXPECT_EQ(blits[lane].columns, expected[lane].columns) << kernels->name;
        EXPECT_EQ(blits[lane].srcStride, expected[lane].srcStride) << kernels->name;
        EXPECT_EQ(blits[lane].reach, expected[lane].reach) << kernels->name;
        EXPECT_EQ(corners[lane], expectedCorners[lane]) << kernels->name;
        EXPECT_EQ(corners[lane + 4], expectedCorners[lane + 4]) << kernels->name;
      }
    }
  }
}

}  // namespace
