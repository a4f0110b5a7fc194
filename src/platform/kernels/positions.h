// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of a point's position that the exact formula and the positions kernels share:
// the angle, operation for operation; a sine and cosine without the library, reduced and
// expanded as the classic kernels do, with a bound on their error; and the test that a position
// computed with them rounds to the formula's float.
//
// Everything here has internal linkage: the AVX2 kernels' file is built for AVX2, and a copy of
// an inline function made there must never stand in for the one the rest of the program calls.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace platform::position {
namespace {

// The value of pi the pattern has always used: the double nearest 3.141592, not full precision.
constexpr double kPi = 3.141592;
// Angle offset of every point, in radians.
constexpr double kOffset = 0.1;

// Point i's angle in radians.
inline double angleOf(double i, double divergenceAngle) {
  return ((i * divergenceAngle) / 180) * kPi + kOffset;
}

// pi / 2 as the sum of three doubles, the first two of 33 significant bits, so that n times
// either is exact for n below 2^20 (the classic split of the medium range reduction).
constexpr double kHalfPi1 = 1.57079632673412561417e+00;
constexpr double kHalfPi2 = 6.07710050630396597660e-11;
constexpr double kHalfPi2Tail = 2.02226624879595063154e-21;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
// Angles up to this (radians) keep n below 2^20.
constexpr double kFastAngles = 1.6e6;
// A bound on how far the cosine and sine below lie from the true ones (absolute; the reduction
// and polynomials err by under 4e-16, libm by under one unit in the last place), with room.
constexpr double kSinCosError = 4e-15;

// The polynomials of the classic kernels on [-pi/4, pi/4], highest power first: sin r is
// r + r^3 P(r^2), cos r is 1 - r^2 / 2 + r^4 Q(r^2).
constexpr int kCoefficients = 6;
constexpr double kSinCoefficients[kCoefficients] = {
    1.58969099521155010221e-10,  -2.50507602534068634195e-08, 2.75573137070700676789e-06,
    -1.98412698298579493134e-04, 8.33333333332248946124e-03,  -1.66666666666666324348e-01};
constexpr double kCosCoefficients[kCoefficients] = {
    -1.13596475577881948265e-11, 2.08757232129817482790e-09,  -2.75573143513906633035e-07,
    2.48015872894767294178e-05,  -1.38888888888741095749e-03, 4.16666666666666019037e-02};

// Adding this and taking it away again rounds a double of magnitude below 2^51 to the nearest
// whole number: their sum has no bits for a fraction.
constexpr double kRoundToWhole = 0x1.8p52;

struct SinCos {
  double sin;
  double cos;
};

// Sine and cosine of |theta| <= kFastAngles up to the quadrant: theta less n times pi / 2 lies in
// [-pi/4, pi/4]; `t` holds n + kRoundToWhole, s and c the sine and cosine of what is left, from
// the kernels' polynomials. For a double, or for all lanes of a vector of doubles at once, the
// same operations on each; vectors by reference, as it is inlined into the vector loops.
template <class Vector>
[[gnu::always_inline]] inline void reduceAndExpand(const Vector& theta, Vector& t, Vector& s,
                                                   Vector& c) {
  t = theta * kTwoOverPi + kRoundToWhole;
  const Vector n = t - kRoundToWhole;
  // Exact: n * kHalfPi1 is a double and lies within pi / 4 + 1e-4 of theta.
  const Vector r = ((theta - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi2Tail;
  const Vector z = r * r;
  Vector ps = Vector{} + kSinCoefficients[0];
  for (int power = 1; power < kCoefficients; ++power) ps = kSinCoefficients[power] + z * ps;
  Vector pc = Vector{} + kCosCoefficients[0];
  for (int power = 1; power < kCoefficients; ++power) pc = kCosCoefficients[power] + z * pc;
  s = r + (r * z) * ps;
  c = (1.0 - 0.5 * z) + (z * z) * pc;
}

// Sine and cosine of |theta| <= kFastAngles. The quadrant n mod 4 is chosen without a branch, so
// that a loop of these is vectorised: an odd one swaps sine and cosine, 2 and 3 negate the sine,
// 1 and 2 the cosine.
[[gnu::always_inline]] inline SinCos fastSinCos(double theta) {
  double t;
  double s;
  double c;
  reduceAndExpand(theta, t, s, c);
  // n is in the lowest bits of t.
  const auto quadrant = std::bit_cast<std::uint64_t>(t) & 3;
  const bool odd = (quadrant & 1) != 0;
  const double sine = odd ? c : s;
  const double cosine = odd ? s : c;
  return {(quadrant & 2) != 0 ? -sine : sine, ((quadrant + 1) & 2) != 0 ? -cosine : cosine};
}

// Point i to single precision from its angle's sine and cosine, written to x and y; true when
// sure they are what the formula rounds to: when every double within the error of each
// coordinate rounds to the same float. No branch, so that a loop of these is vectorised.
[[gnu::always_inline]] inline bool fastSingle(double i, double radiusStep, const SinCos& sc,
                                              float& x, float& y) {
  // A hundredth times rather than divided by 100: a division costs several multiplications, and
  // the two differ by a unit in the last place or two, far inside the rounding allowed for below.
  const double exactX = ((i * sc.cos) * radiusStep) * 0.01;
  const double exactY = ((i * sc.sin) * radiusStep) * 0.01;
  // The coordinates differ from the formula's by the sine's or cosine's error times the
  // distance (a little overestimated, to spare a division), and by the rounding of three
  // operations each.
  const double reach = std::abs(i * radiusStep) * 0.0101;
  const double spread = reach * 2 * kSinCosError;
  const double errorX = spread + std::abs(exactX) * 0x1p-48;
  const double errorY = spread + std::abs(exactY) * 0x1p-48;
  x = static_cast<float>(exactX);
  y = static_cast<float>(exactY);
  return reach < 1e30 && static_cast<float>(exactX - errorX) == x &&
         static_cast<float>(exactX + errorX) == x && static_cast<float>(exactY - errorY) == y &&
         static_cast<float>(exactY + errorY) == y;
}

}  // namespace
}  // namespace platform::position
