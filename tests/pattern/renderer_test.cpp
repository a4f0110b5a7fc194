// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern/renderer.h"
#include "support/every_circle.h"
#include "support/recording_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

using pattern::drawPattern;
using pattern::kBandColors;
using pattern::ParameterSet;

namespace {

constexpr platform::OleColor kRed = 0x000000FF;
constexpr platform::OleColor kBlue = 0x00FF0000;
constexpr platform::OleColor kYellow = 0x0000FFFF;

ParameterSet startValues() {
  return {600, 2, 20, 0, 137.5};
}

RecordingSurface draw(const ParameterSet& p) {
  RecordingSurface surface;
  drawPattern(p, surface);
  return surface;
}

TEST(Renderer, StartValuesDraw602CirclesOfRadiusPointFour) {
  const RecordingSurface s = draw(startValues());
  EXPECT_EQ(s.clears, 1);
  ASSERT_EQ(s.circles.size(), 602u);
  for (const RecordedCircle& c : s.circles) EXPECT_EQ(c.radius, 0.4f);
  EXPECT_NEAR(s.circles.front().x, -0.160, 0.001);
  EXPECT_NEAR(s.circles.front().y, 0.120, 0.001);
  EXPECT_NEAR(s.circles.back().x, 49.36, 0.01);
  EXPECT_NEAR(s.circles.back().y, 109.38, 0.01);
  EXPECT_EQ(s.fill, kYellow);
}

TEST(Renderer, UsesPiAsTheConstant3141592) {
  // With alpha 180 and i 1000 the angle is 1000 * 3.141592 + 0.1 radian: point 1000 lies at
  // (995.0692, 99.1831), where full pi would put it at (995.0042, 99.8334). Values worked out
  // with Python's math module.
  const pattern::PointPosition p = pattern::pointAt(1000, 180, 100);
  EXPECT_NEAR(p.x, 995.069202852782, 1e-9);
  EXPECT_NEAR(p.y, 99.1830708030812, 1e-9);
}

struct PositionCase {
  const char* name;
  double alpha;
  double step;
  double from;
  long long count;
  friend void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.name; }
};

class SinglePositions : public testing::TestWithParam<PositionCase> {};

// The fast single-precision positions are the formula's rounded to float, every one of them, the
// rare ones that lie next to where rounding turns included; one at a time and along a span.
TEST_P(SinglePositions, AreTheFormulasRoundedToSingle) {
  const PositionCase& c = GetParam();
  const auto same = [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); };
  std::vector<platform::Disc> discs(static_cast<std::size_t>(c.count));
  pattern::discsAlong(c.from, c.count, c.alpha, c.step, kBlue, discs.data());
  double i = c.from;
  for (const platform::Disc& disc : discs) {
    const QPointF formula = reference::positionOf(i, c.alpha, c.step);
    const float x = reference::single(formula.x());
    const float y = reference::single(formula.y());
    const pattern::SinglePosition one = pattern::singlePointAt(i, c.alpha, c.step);
    ASSERT_TRUE(same(one.x, x) && same(one.y, y))
        << "point " << i << ": " << one.x << ", " << one.y;
    ASSERT_TRUE(same(disc.x, x) && same(disc.y, y) && disc.fill == kBlue)
        << "point " << i << " along the span: " << disc.x << ", " << disc.y;
    i += 1;
  }
}

// With no turn every point lies on the ray at 0.1 radian; this step puts point 1000's x within a
// few units in the last place of 1 + 2^-24, halfway between two floats.
double stepToHalfway(int ulps) {
  const double x = 1000 * std::cos(0.1);
  double step = (1 + 0x1p-24) * 100 / x;
  for (int k = 0; k < std::abs(ulps); ++k) step = std::nextafter(step, ulps > 0 ? 10.0 : 0.0);
  return step;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SinglePositions,
    testing::Values(PositionCase{"start", 137.5, 20, 1, 600},
                    PositionCase{"fill600k", 137.5, 10000.0 / 600000, 1, 600000},
                    PositionCase{"fractional_start", 137.5, 0.001, 2000000.0 / 3, 30000},
                    PositionCase{"negative", -222.5, -7, -3000, 6001},
                    PositionCase{"animation_step", 0.01, 1e5, 1, 20000},
                    PositionCase{"quarter_turns", 90, 3, 1, 40000},
                    PositionCase{"past_the_fast_angles", 137.5, 0.01, 650000, 40000},
                    PositionCase{"far_out", 137.5, 1e35, 1, 2000},
                    PositionCase{"huge_index", 137.5, 20, 1e15, 1000},
                    PositionCase{"past_two_to_53", 137.5, 1e-14, 9007199254740990.0, 5},
                    PositionCase{"angle_overflows", 1e308, 1e308, 1, 3},
                    PositionCase{"halfway_below", 0, stepToHalfway(-3), 1000, 1},
                    PositionCase{"halfway", 0, stepToHalfway(0), 1000, 1},
                    PositionCase{"halfway_above", 0, stepToHalfway(3), 1000, 1}),
    [](const testing::TestParamInfo<PositionCase>& param) { return param.param.name; });

// Where a fractional start passes powers of two, adding 1 a step at a time rounds differently
// from adding all the steps at once; the renderer's indices are the loop's.
TEST(Renderer, IndicesAreThoseOfALoopThatAddsOneAtATime) {
  for (const double from : {3.3430604156794788, 3.049120329831768, 0.00842421340444277, 2.1, 0.3,
                            -0.1, -2.7, 1e15 + 0.5, 0.0}) {
    double i = from;
    for (long long k = 0; k <= 70000; ++k, i += 1) {
      if (k % 997 == 0 || k < 40) {
        ASSERT_EQ(pattern::loopIndex(from, k), i) << from << " + " << k;
      }
    }
  }
  const double large = 9007199254740990.0;  // the counter stops advancing at 2^53
  EXPECT_EQ(pattern::loopIndex(large, 100), 9007199254740992.0);
}

// The colour a point ends up with: the last circle drawn at its position.
platform::OleColor finalColourOf(const RecordingSurface& s, const QPointF& p) {
  platform::OleColor colour = 0xFFFFFFFF;
  for (const RecordedCircle& c : s.circles) {
    if (c.x == static_cast<float>(p.x()) && c.y == static_cast<float>(p.y())) colour = c.fill;
  }
  return colour;
}

TEST(Renderer, SharedBandBoundsAreCoveredByTheNextBand) {
  const RecordingSurface s = draw(startValues());
  EXPECT_EQ(finalColourOf(s, reference::positionOf(199, 137.5, 20)), kRed);
  EXPECT_EQ(finalColourOf(s, reference::positionOf(200, 137.5, 20)), kBlue);
  EXPECT_EQ(finalColourOf(s, reference::positionOf(400, 137.5, 20)), kYellow);
}

struct BandCase {
  double pointTotal;
  std::vector<std::pair<double, platform::OleColor>> indices;  // in drawing order
  friend void PrintTo(const BandCase& c, std::ostream* os) { *os << "PointTotal " << c.pointTotal; }
};

class BandIndices : public testing::TestWithParam<BandCase> {};

TEST_P(BandIndices, AreDrawnInOrderWithTheirColours) {
  ParameterSet p = startValues();
  p.PointTotal = GetParam().pointTotal;
  const RecordingSurface s = draw(p);
  ASSERT_EQ(s.circles.size(), GetParam().indices.size());
  for (size_t k = 0; k < s.circles.size(); ++k) {
    const auto [index, colour] = GetParam().indices[k];
    const QPointF pos = reference::positionOf(index, p.DivergenceAngle, p.RadiusStep);
    EXPECT_EQ(s.circles[k].x, static_cast<float>(pos.x())) << "circle " << k;
    EXPECT_EQ(s.circles[k].y, static_cast<float>(pos.y())) << "circle " << k;
    EXPECT_EQ(s.circles[k].fill, colour) << "circle " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    PointTotals, BandIndices,
    testing::Values(BandCase{3, {{1, kRed}, {1, kBlue}, {2, kBlue}, {2, kYellow}, {3, kYellow}}},
                    BandCase{0, {{0, kBlue}, {0, kYellow}}}, BandCase{-3, {}},
                    BandCase{7.5,
                             {{1, kRed},
                              {2, kRed},
                              {2.5, kBlue},
                              {3.5, kBlue},
                              {4.5, kBlue},
                              {5, kYellow},
                              {6, kYellow},
                              {7, kYellow}}}));

TEST(Renderer, NegativePointCountOnlyClearsAndKeepsFillColor) {
  ParameterSet p = startValues();
  p.PointTotal = -12;
  RecordingSurface s;
  s.fill = 0x123456;
  drawPattern(p, s);
  EXPECT_EQ(s.clears, 1);
  EXPECT_TRUE(s.circles.empty());
  EXPECT_EQ(s.fill, 0x123456u);
}

TEST(Renderer, AngleZeroPutsEveryPointOnOneRayAtOffset) {
  ParameterSet p = startValues();
  p.DivergenceAngle = 0;
  for (const RecordedCircle& c : draw(p).circles) {
    EXPECT_NEAR(std::atan2(c.y, c.x), 0.1, 1e-6);
    EXPECT_GT(c.x, 0);
  }
}

TEST(Renderer, PointsThatCannotReachTheSurfaceAreNotComputed) {
  ParameterSet p = startValues();
  p.PointTotal = 3e9;  // a billion points per band
  const RecordingSurface s = draw(p);
  // Point i lies i / 5 units out: past about 715 none can touch the visible square.
  ASSERT_FALSE(s.circles.empty());
  EXPECT_LT(s.circles.size(), 800u);
  for (const RecordedCircle& c : s.circles) EXPECT_LT(std::hypot(c.x, c.y), 144.0);
  EXPECT_EQ(s.fill, kYellow) << "FillColor ends as if every band had drawn";
}

struct HugeCase {
  ParameterSet parameters;
  int error;
  platform::OleColor fill;
  friend void PrintTo(const HugeCase& c, std::ostream* os) { *os << c.parameters.PointTotal; }
};

class HugeValues : public testing::TestWithParam<HugeCase> {};

// Far too many points to draw one by one; only those that can reach the surface are drawn.
TEST_P(HugeValues, DrawFewCirclesAndEndAsEveryCircleWould) {
  RecordingSurface s;
  s.fill = 0x123456;
  int error = 0;
  try {
    drawPattern(GetParam().parameters, s);
  } catch (const platform::RuntimeError& e) {
    error = e.number();
  }
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(s.fill, GetParam().fill);
  EXPECT_LE(s.circles.size(), 2000u);
}

INSTANTIATE_TEST_SUITE_P(
    Extremes, HugeValues,
    testing::Values(
        // 2 * PointTotal overflows when the blue band begins, after the red band.
        HugeCase{{1.7e308, 2, 20, 0, 137.5}, platform::RuntimeError::Overflow, kRed},
        HugeCase{{1.7e308, 1e300, 0, 0, 137.5}, platform::RuntimeError::Overflow, kRed},
        // From point 2 on the angle overflows, but those points lie 2e306 units out: the blue
        // band's first circle is never reached, and nothing is said.
        HugeCase{{600, 2, 1e308, 0, 1e308}, 0, kRed},
        // A radius beyond single range; the circles are not filled, so none can show.
        HugeCase{{600, 1e308, 1e308, 0, 137.5}, 0, kYellow},
        // 3 * PointTotal overflows when the yellow band begins.
        HugeCase{{7e307, 2, 20, 0, 0}, platform::RuntimeError::Overflow, kBlue}));

// A point's angle i * alpha first overflows inside a band: every point before it is drawn and the
// error comes at that point, whatever the counts of the bands. The expectation steps through the
// bands point by point, as their loops do; the totals put the point in each band at every place.
TEST(Renderer, AnAngleOverflowingInsideABandDrawsEveryPointBeforeIt) {
  constexpr double kAngle = 7e305;  // i * kAngle overflows from i = 257 on
  for (int total = 300; total <= 2400; ++total) {
    ParameterSet p = startValues();
    p.PointTotal = total;
    p.DivergenceAngle = kAngle;
    std::size_t before = 0;
    bool overflows = false;
    const double bounds[] = {1, p.PointTotal / 3, 2 * p.PointTotal / 3, p.PointTotal};
    for (int band = 0; band < 3 && !overflows; ++band) {
      for (double i = bounds[band]; i <= bounds[band + 1]; i += 1) {
        if (!std::isfinite(i * kAngle)) {
          overflows = true;
          break;
        }
        ++before;
      }
    }
    RecordingSurface s;
    int error = 0;
    try {
      drawPattern(p, s);
    } catch (const platform::RuntimeError& e) {
      error = e.number();
    }
    ASSERT_EQ(s.circles.size(), before) << "total " << total;
    ASSERT_EQ(error, overflows ? platform::RuntimeError::Overflow : 0) << "total " << total;
  }
}

// Drawing one spot again and again stops changing it after 256 draws; fewer than that all show.
TEST(Renderer, ZeroRadiusStepDrawsEachBandsSpotAtMost256Times) {
  ParameterSet p = startValues();
  p.PointTotal = 3000;  // 1000 points per band
  p.RadiusStep = 0;
  const RecordingSurface s = draw(p);
  ASSERT_EQ(s.circles.size(), 3u * 256);
  for (std::size_t k = 0; k < s.circles.size(); ++k) {
    EXPECT_EQ(s.circles[k].x, 0.0f);
    EXPECT_EQ(s.circles[k].y, 0.0f);
    EXPECT_EQ(s.circles[k].fill, kBandColors[k / 256]);
  }
  p.PointTotal = 300;
  EXPECT_EQ(draw(p).circles.size(), 100u + 101 + 101);
}

}  // namespace

namespace {

TEST(Renderer, CircleCoveringTheWholeSurfaceHidesAllBeforeIt) {
  RecordingSurface s;
  s.solid = true;
  drawPattern({600, 1e6, 20, 0, 137.5}, s);  // radius 200000: every circle covers the surface
  ASSERT_EQ(s.circles.size(), 1u);
  const QPointF last = reference::positionOf(600, 137.5, 20);
  EXPECT_EQ(s.circles[0].x, static_cast<float>(last.x()));
  EXPECT_EQ(s.circles[0].fill, kYellow);
}

TEST(Renderer, DrawingStartsAtTheLastCoveringCircle) {
  RecordingSurface s;
  s.solid = true;
  // Radius 200; point i covers the square (farthest corner 101 * sqrt 2) while i / 5 + 142.84
  // stays within 200, that is up to point 285.
  drawPattern({600, 1000, 20, 0, 137.5}, s);
  ASSERT_FALSE(s.circles.empty());
  const QPointF first = reference::positionOf(285, 137.5, 20);
  EXPECT_EQ(s.circles[0].x, static_cast<float>(first.x()));
  EXPECT_EQ(s.circles[0].fill, kBlue);
  EXPECT_EQ(s.circles.size(), 602u - 285);
  EXPECT_EQ(s.fill, kYellow);
}

// Radius 200, farthest corner 101 * sqrt 2: with this step point 100 lies a ten-millionth of
// its distance too far out to cover the square, and point 99 covers it. Drawing starts at 99.
TEST(Renderer, ACircleThatJustFailsToCoverTheSurfaceIsStillDrawn) {
  RecordingSurface s;
  s.solid = true;
  const double step = (200 - 101 * std::sqrt(2.0)) * 100 / (100 * (1 - 1e-7));
  drawPattern({600, 1000, step, 0, 137.5}, s);
  ASSERT_EQ(s.circles.size(), 602u - 99);
  const QPointF first = reference::positionOf(99, 137.5, step);
  EXPECT_EQ(s.circles[0].x, static_cast<float>(first.x()));
}

TEST(Renderer, WithoutSolidFillEveryCircleIsDrawn) {
  const RecordingSurface s = draw({600, 1e6, 20, 0, 137.5});
  EXPECT_EQ(s.circles.size(), 602u);
}

}  // namespace
