// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/striprows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using platform::Disc;
using platform::UserRows;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// A strip's rows, [above, below] in device pixels, and the user scale's top and device pixels
// per unit, which may be negative (the scale upside down).
struct RowsCase {
  const char* name;
  double top;
  double perUnit;
  double above;
  double below;
};

class StripRows : public testing::TestWithParam<RowsCase> {};

// The device row of a centre, as a strip decides whether it draws the disc.
double deviceRow(const RowsCase& c, float y) {
  return (double{y} - c.top) * c.perUnit;
}
bool onStrip(const RowsCase& c, float y) {
  const double row = deviceRow(c, y);
  return row >= c.above && row <= c.below;
}

TEST_P(StripRows, LeaveOutOnlyDiscsOffTheStripAndNoMoreThanAFloatStepOrTwoOfThem) {
  const RowsCase& c = GetParam();
  const UserRows rows = platform::userRowsOf(c.top, c.perUnit, c.above, c.below);
  ASSERT_LE(rows.lowest, rows.highest);
  // Every float for a stretch either side of both ends: one left out lies off the strip.
  for (const float end : {rows.lowest, rows.highest}) {
    float y = end;
    for (int step = 0; step < 300; ++step) y = std::nextafter(y, -kInfinity);
    for (int step = 0; step < 600; ++step, y = std::nextafter(y, kInfinity)) {
      if (y < rows.lowest || y > rows.highest) {
        EXPECT_FALSE(onStrip(c, y)) << y;
      }
    }
  }
  // Not loose: a float a few steps inside each end lies on the strip.
  float inFromLowest = rows.lowest;
  float inFromHighest = rows.highest;
  for (int step = 0; step < 3; ++step) {
    inFromLowest = std::nextafter(inFromLowest, kInfinity);
    inFromHighest = std::nextafter(inFromHighest, -kInfinity);
  }
  EXPECT_TRUE(onStrip(c, inFromLowest)) << rows.lowest;
  EXPECT_TRUE(onStrip(c, inFromHighest)) << rows.highest;
}

INSTANTIATE_TEST_SUITE_P(
    Strips, StripRows,
    testing::Values(RowsCase{"first_of_two", 0.0, 0.0685, -4.0, 346.5},
                    RowsCase{"second_of_two", 0.0, 0.0685, 338.5, 689.0},
                    RowsCase{"scale_upside_down", 10000.0, -0.0685, 120.25, 300.75},
                    RowsCase{"scale_offset", -5000.3, 0.0685, 100.0, 200.0},
                    RowsCase{"tiny_units", 3.0, 1e-6, 1.0, 2.5},
                    RowsCase{"huge_units", 0.1, 1e6, 0.0, 685.0},
                    RowsCase{"rows_between_floats", 0.0, 3.0, 1.0 / 3.0, 2.0 / 3.0 + 1000.0},
                    RowsCase{"far_from_the_origin", 1e7, 1.0, -1e3, 1e3}),
    [](const testing::TestParamInfo<RowsCase>& param) { return std::string(param.param.name); });

TEST(UserRows, ScalesWithoutADirectionLeaveNothingOut) {
  for (const double perUnit : {0.0, std::numeric_limits<double>::quiet_NaN()}) {
    const UserRows rows = platform::userRowsOf(0.0, perUnit, 0.0, 100.0);
    EXPECT_EQ(rows.lowest, -kInfinity);
    EXPECT_EQ(rows.highest, kInfinity);
  }
}

// Discs with y on and off the rows, at their ends exactly, infinite and not numbers: both ways
// keep the numbers a plain test keeps, in order, for every length of a block's tail.
TEST(DiscsInRows, KeepTheDiscsThatAPlainTestKeepsInOrder) {
  const UserRows rows{-2.5f, 40.0f};
  std::mt19937 random(11);
  std::uniform_real_distribution<float> place(-60.0f, 100.0f);
  const float odd[] = {rows.lowest,
                       rows.highest,
                       std::nextafter(rows.lowest, -kInfinity),
                       std::nextafter(rows.highest, kInfinity),
                       kInfinity,
                       -kInfinity,
                       std::numeric_limits<float>::quiet_NaN()};
  for (const std::size_t count : {0, 1, 7, 8, 9, 15, 16, 17, 512}) {
    std::vector<Disc> discs;
    for (std::size_t i = 0; i < count; ++i) {
      const float y = random() % 5 == 0 ? odd[random() % 7] : place(random);
      discs.push_back({place(random), y, static_cast<platform::OleColor>(i)});
    }
    std::vector<std::uint32_t> expected;
    for (std::size_t i = 0; i < count; ++i) {
      const float y = discs[i].y;
      if (std::isnan(y) || (y >= rows.lowest && y <= rows.highest)) expected.push_back(i);
    }
    for (const platform::Kernels* kernels : platform::availableKernels()) {
      std::vector<std::uint32_t> kept(count);
      kept.resize(kernels->discsInRows(discs.data(), count, rows, kept.data()));
      EXPECT_EQ(kept, expected) << kernels->name << ", " << count << " discs";
    }
  }
}

}  // namespace
