// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

using platform::CInt;
using platform::RuntimeError;
using platform::Str;
using platform::Val;

namespace {

struct ValCase {
  const char* text;
  double expected;
  friend void PrintTo(const ValCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class ValReadsLeadingNumber : public testing::TestWithParam<ValCase> {};

TEST_P(ValReadsLeadingNumber, ToTheDouble) {
  EXPECT_EQ(Val(QString::fromUtf8(GetParam().text)), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ValReadsLeadingNumber,
                         testing::Values(ValCase{"200", 200}, ValCase{" 13751", 13751},
                                         ValCase{"\t 7", 7}, ValCase{"-4", -4}, ValCase{"+4", 4},
                                         ValCase{"2.5", 2.5}, ValCase{".5", 0.5}, ValCase{"5.", 5},
                                         ValCase{"137,5", 137}, ValCase{"12abc", 12},
                                         ValCase{"1e3", 1000}, ValCase{"1E-2", 0.01},
                                         ValCase{"2e", 2}, ValCase{"2e+", 2}, ValCase{"3e+2x", 300},
                                         ValCase{"", 0}, ValCase{"   ", 0}, ValCase{"-", 0},
                                         ValCase{".", 0}, ValCase{"abc", 0}, ValCase{"inf", 0},
                                         ValCase{"nan", 0}, ValCase{"&H10", 0}, ValCase{"0x10", 0},
                                         ValCase{"1e-400", 0}, ValCase{"0.000e999999", 0},
                                         ValCase{"1.797e308", 1.797e308}, ValCase{"Größe 5", 0}));

TEST(Val, NumberBeyondTheDoubleRangeIsAnOverflow) {
  for (const char* text : {"1e309", "-1e309", "99999e99999999999999999", "1000000e303"}) {
    try {
      Val(QString::fromLatin1(text));
      ADD_FAILURE() << text << " did not raise";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), RuntimeError::Overflow) << text;
    }
  }
}

TEST(Val, TinyNegativeNumberReadsAsNegativeZero) {
  const double value = Val(u"-1e-999");
  EXPECT_EQ(value, 0.0);
  EXPECT_TRUE(std::signbit(value));
}

TEST(Str, IntegersAreLedByABlankOrMinus) {
  EXPECT_EQ(Str(std::int16_t{201}), " 201");
  EXPECT_EQ(Str(std::int16_t{0}), " 0");
  EXPECT_EQ(Str(std::int16_t{13751}), " 13751");
  EXPECT_EQ(Str(std::int16_t{-32768}), "-32768");
}

TEST(Str, FractionsUseTheShortestDigitsOfTheirOwnType) {
  EXPECT_EQ(Str(12.5f), " 12.5");
  EXPECT_EQ(Str(40.0f), " 40");
  EXPECT_EQ(Str(0.1f), " 0.1");  // as a single, not 0.10000000149011612
  EXPECT_EQ(Str(-0.25), "-0.25");
  EXPECT_EQ(Str(57.80346f).toFloat(), 57.80346f);
}

struct RoundCase {
  double value;
  int expected;
  friend void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.value; }
};

class CIntRoundsHalvesToEven : public testing::TestWithParam<RoundCase> {};

TEST_P(CIntRoundsHalvesToEven, Within16Bits) {
  EXPECT_EQ(CInt(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, CIntRoundsHalvesToEven,
                         testing::Values(RoundCase{25.5, 26}, RoundCase{90.5, 90},
                                         RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{-2.5, -2},
                                         RoundCase{2.4999, 2}, RoundCase{-0.5, 0},
                                         RoundCase{32767.4, 32767}, RoundCase{-32768.5, -32768}));

TEST(CInt, ValuesOutsideSixteenBitsOverflow) {
  for (double value : {32767.5, -32768.51, 1e10, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
    EXPECT_THROW(CInt(value), RuntimeError) << value;
  }
}

TEST(SixteenBitArithmetic, OverflowsAtTheEdges) {
  EXPECT_EQ(platform::add16(17999, 1), 18000);
  EXPECT_THROW(platform::add16(32767, 1), RuntimeError);
  EXPECT_EQ(platform::sub16(18000, 4), 17996);
  EXPECT_THROW(platform::sub16(-32765, 4), RuntimeError);
}

TEST(RGB, RedIsTheLowByte) {
  EXPECT_EQ(platform::RGB(255, 0, 0), 0x000000FFu);
  EXPECT_EQ(platform::RGB(255, 255, 0), 0x0000FFFFu);
  EXPECT_EQ(platform::RGB(255, 255, 192), 0x00C0FFFFu);
}

TEST(RuntimeError, CarriesNumberAndGermanMessage) {
  const RuntimeError error(RuntimeError::InvalidPropertyValue);
  EXPECT_EQ(error.number(), 380);
  EXPECT_EQ(error.message(), QStringLiteral("Unzulässiger Eigenschaftswert"));
  EXPECT_EQ(RuntimeError(RuntimeError::Overflow).message(), QStringLiteral("Überlauf"));
}

}  // namespace
