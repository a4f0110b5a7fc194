// SPDX-License-Identifier: GPL-3.0-or-later
#include "kernels/kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

namespace {

struct PositionCase {
  const char* name;
  double from;  // the block's first point; the others follow one apart
  double divergenceAngle;
  double radiusStep;
  int count;
  int mostUnsure;  // points a row may leave to the formula
};

class Positions : public testing::TestWithParam<PositionCase> {};

// Point i as the pattern defines it, in double precision, rounded once to a float.
float formulaSingle(double value) {
  if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// Every row gives each point of a block the formula's position to single precision and the fill,
// or lists it for the formula; and it lists only a few.
TEST_P(Positions, AreTheFormulasFloatsOrLeftToTheFormula) {
  const PositionCase& c = GetParam();
  constexpr platform::OleColor kFill = 0x123456;
  for (const platform::Kernels* kernels : platform::availableKernels()) {
    platform::PositionBlock block;
    for (int k = 0; k < platform::kBlockPoints; ++k) block.index[k] = c.from + k;
    platform::Disc discs[platform::kBlockPoints];
    const int unsure =
        kernels->positions(block, c.count, c.divergenceAngle, c.radiusStep, kFill, discs);
    ASSERT_LE(unsure, c.mostUnsure) << kernels->name;
    const std::set<int> left(block.unsure, block.unsure + unsure);
    EXPECT_EQ(left.size(), static_cast<std::size_t>(unsure)) << kernels->name;
    for (int k = 0; k < c.count; ++k) {
      EXPECT_EQ(discs[k].fill, kFill) << kernels->name << ", point " << k;
      if (left.count(k) != 0) continue;
      const double i = c.from + k;
      const double theta = ((i * c.divergenceAngle) / 180) * 3.141592 + 0.1;
      EXPECT_EQ(discs[k].x, formulaSingle(((i * std::cos(theta)) * c.radiusStep) / 100))
          << kernels->name << ", point " << i;
      EXPECT_EQ(discs[k].y, formulaSingle(((i * std::sin(theta)) * c.radiusStep) / 100))
          << kernels->name << ", point " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, Positions,
    testing::Values(PositionCase{"start_pattern", 1, 137.5, 2, 64, 1},
                    PositionCase{"odd_count", 1, 137.5, 2, 37, 1},
                    PositionCase{"one_point", 10, 137.51, 2, 1, 1},
                    PositionCase{"three_points", 1000, 222.49, 7.5, 3, 1},
                    PositionCase{"far_out", 590001, 137.5, 0.1, 64, 2},
                    PositionCase{"negative_step", 100, 99.99, -3, 64, 1},
                    PositionCase{"half_points", 0.5, 137.5, 2, 64, 1},
                    // Angles past the fast sine's range: all of them left to the formula.
                    PositionCase{"beyond_fast_angles", 1e9, 137.5, 2, 64, 64},
                    // Coordinates past the largest float.
                    PositionCase{"overflowing", 1, 137.5, 1e307, 64, 64}),
    [](const testing::TestParamInfo<PositionCase>& param) { return param.param.name; });

}  // namespace
