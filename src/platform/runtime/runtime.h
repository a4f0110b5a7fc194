// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions and arithmetic checks of the forms runtime that the program's logic relies on.
#pragma once

#include "runtime/colors.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <exception>

namespace platform {

// Positions and sizes of the window definition are in twips, 1/1440 inch: 15 to a logical pixel
// at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// The one error type of the runtime: a number and the German message shown to the user.
class RuntimeError : public std::exception {
 public:
  enum Number : int {
    OutOfMemory = 7,
    Overflow = 6,
    InvalidPropertyValue = 380,
  };

  explicit RuntimeError(Number number);

  Number number() const { return number_; }
  QString message() const;
  const char* what() const noexcept override;

 private:
  Number number_;
  QByteArray what_;
};

// Thrown when the user stops a long piece of work, such as a drawing. It ends the handler and its
// callers like an error, but is no error: nothing is reported.
class Interrupted : public std::exception {
 public:
  const char* what() const noexcept override { return "interrupted by the user"; }
};

// The number at the start of `text`: leading blanks skipped, optional sign, digits with "." as the
// decimal point, optional exponent. No number gives 0. A number beyond the double range raises
// Overflow; one too small for a double gives (signed) zero.
double Val(QStringView text);

// The value's text led by a blank, or by "-" when negative. Fractions are written with the
// shortest digits that read back as the same value of the argument's own type.
QString Str(std::int16_t value);
QString Str(float value);
QString Str(double value);

// Round to the nearest integer, halves to the even neighbour; a result outside the 16-bit range
// (or a value that is not a number) raises Overflow.
std::int16_t CInt(double value);

// 16-bit integer arithmetic with the runtime's overflow check.
std::int16_t add16(std::int16_t a, std::int16_t b);
std::int16_t sub16(std::int16_t a, std::int16_t b);

// Raises the runtime's floating-point error when `value` is not a finite double.
double checkedFloat(double value);

}  // namespace platform
