// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/coverage.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using platform::Coverage;

namespace {

using Runs = std::vector<std::pair<int, int>>;

struct CoverageCase {
  const char* name;  // a test name: letters, digits and underscores
  Runs covered;      // columns [first, last] marked, in this order
  int first;         // the columns asked about
  int last;
  Runs uncovered;  // expected, worked out by hand
};

class CoverageRuns : public testing::TestWithParam<CoverageCase> {};

TEST_P(CoverageRuns, AreWhatIsLeftOfTheColumnsAskedAbout) {
  const CoverageCase& c = GetParam();
  Coverage coverage;
  coverage.reset(300, 2);
  for (const auto& [from, to] : c.covered) coverage.cover(1, from, to);
  Runs found;
  coverage.forUncovered(1, c.first, c.last,
                        [&](int from, int to) { found.emplace_back(from, to); });
  EXPECT_EQ(found, c.uncovered);
  EXPECT_EQ(coverage.covered(1, c.first, c.last), c.uncovered.empty());
  Runs otherBand;
  coverage.forUncovered(0, c.first, c.last,
                        [&](int from, int to) { otherBand.emplace_back(from, to); });
  EXPECT_EQ(otherBand, Runs({{c.first, c.last}})) << "band 0 was never covered";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CoverageRuns,
    testing::Values(
        CoverageCase{"nothing", {}, 5, 20, {{5, 20}}},
        CoverageCase{"a_middle_part", {{10, 12}}, 5, 20, {{5, 9}, {13, 20}}},
        CoverageCase{"everything_asked_about", {{0, 299}}, 5, 20, {}},
        CoverageCase{"exactly_what_is_asked", {{5, 20}}, 5, 20, {}},
        CoverageCase{"one_column", {{7, 7}}, 7, 7, {}},
        CoverageCase{"next_to_it_not_in_it", {{8, 8}}, 7, 7, {{7, 7}}},
        // Across the 64-column words: the edges of words 0 to 3 and whole words between.
        CoverageCase{
            "across_words", {{60, 70}, {120, 200}}, 50, 260, {{50, 59}, {71, 119}, {201, 260}}},
        CoverageCase{
            "word_edges", {{63, 64}, {127, 128}}, 62, 129, {{62, 62}, {65, 126}, {129, 129}}},
        CoverageCase{
            "overlapping_marks", {{30, 90}, {80, 140}, {20, 35}}, 0, 299, {{0, 19}, {141, 299}}},
        CoverageCase{"up_to_the_last_column", {{250, 299}}, 240, 299, {{240, 249}}},
        CoverageCase{"an_empty_mark", {{40, 39}}, 30, 50, {{30, 50}}}),
    [](const testing::TestParamInfo<CoverageCase>& param) { return param.param.name; });

}  // namespace
