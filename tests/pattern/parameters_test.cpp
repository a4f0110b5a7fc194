// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern/parameters.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>

using pattern::ParameterSet;
using pattern::ReadParameters;

namespace {

ParameterSet read(std::array<const char*, 5> texts, ParameterSet start = {}) {
  ReadParameters(start, [&](int row) { return QString::fromUtf8(texts.at(row)); });
  return start;
}

TEST(ReadParameters, StartTextsGiveTheStartValuesExactly) {
  const ParameterSet p = read({"200", "2", "20", "0", "13750"});
  EXPECT_EQ(p.PointTotal, 600.0);
  EXPECT_EQ(p.PointSize, 2.0);
  EXPECT_EQ(p.RadiusStep, 20.0);
  EXPECT_EQ(p.Speed, 0.0);
  EXPECT_EQ(p.DivergenceAngle, 137.5);
}

struct RowCase {
  const char* row0;
  const char* row4;
  double pointTotal;
  double angle;
  friend void PrintTo(const RowCase& c, std::ostream* os) {
    *os << '"' << c.row0 << "\" / \"" << c.row4 << '"';
  }
};

class RowConversion : public testing::TestWithParam<RowCase> {};

TEST_P(RowConversion, PointTotalIsThreeTimesRowZeroAndAngleIsRowFourOverHundred) {
  const RowCase& c = GetParam();
  const ParameterSet p = read({c.row0, "2", "20", "0", c.row4});
  EXPECT_EQ(p.PointTotal, c.pointTotal);
  EXPECT_EQ(p.DivergenceAngle, c.angle);
}

INSTANTIATE_TEST_SUITE_P(Texts, RowConversion,
                         testing::Values(RowCase{"2.5", "13751", 7.5, 137.51},
                                         RowCase{"-4", " 13751", -12, 137.51},
                                         RowCase{"", "137,5", 0, 1.37}, RowCase{"abc", "", 0, 0},
                                         RowCase{" 201", "1e-400", 603, 0}));

TEST(ReadParameters, RowZeroOverflowChangesNothing) {
  const ParameterSet before{600, 2, 20, 0, 137.5};
  ParameterSet p = before;
  EXPECT_THROW(
      ReadParameters(p, [](int row) { return row == 0 ? QString("1e308") : QString("7"); }),
      platform::RuntimeError);
  EXPECT_EQ(p.PointTotal, before.PointTotal);
  EXPECT_EQ(p.PointSize, before.PointSize);
  EXPECT_EQ(p.RadiusStep, before.RadiusStep);
  EXPECT_EQ(p.DivergenceAngle, before.DivergenceAngle);
}

TEST(ReadParameters, ReadsOnlyRowsZeroToFour) {
  std::array<int, 6> reads{};
  ParameterSet p;
  ReadParameters(p, [&](int row) {
    ++reads.at(row);
    return QString("1");
  });
  EXPECT_EQ(reads, (std::array<int, 6>{1, 1, 1, 1, 1, 0}));
}

}  // namespace
