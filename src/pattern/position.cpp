// SPDX-License-Identifier: GPL-3.0-or-later
// Where point i lies: in double precision as the formula has it, and in single precision, the
// precision of the circles' centres, quickly.
#include "pattern/renderer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "runtime/processor.h"

#if defined(QUIRLBILD_AVX2)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

namespace pattern {

namespace {

// The value of pi the pattern has always used: the double nearest 3.141592, not full precision.
constexpr double kPi = 3.141592;
// Angle offset of every point, in radians.
constexpr double kOffset = 0.1;

double angleOf(double i, double divergenceAngle) {
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
constexpr double kSinCoefficients[] = {1.58969099521155010221e-10, -2.50507602534068634195e-08,
                                       2.75573137070700676789e-06, -1.98412698298579493134e-04,
                                       8.33333333332248946124e-03, -1.66666666666666324348e-01};
constexpr double kCosCoefficients[] = {-1.13596475577881948265e-11, 2.08757232129817482790e-09,
                                       -2.75573143513906633035e-07, 2.48015872894767294178e-05,
                                       -1.38888888888741095749e-03, 4.16666666666666019037e-02};

// Adding this and taking it away again rounds a double of magnitude below 2^51 to the nearest
// whole number: their sum has no bits for a fraction.
constexpr double kRoundToWhole = 0x1.8p52;

struct SinCos {
  double sin;
  double cos;
};

// Sine and cosine of |theta| <= kFastAngles up to the quadrant: theta less n times pi / 2 lies in
// [-pi/4, pi/4]; `t` holds n + kRoundToWhole, s and c the sine and cosine of what is left, from
// the kernels' polynomials. For a double, or for all lanes of a vector (two or four doubles) at
// once, the same operations on each; vectors by reference, as it is inlined into the AVX2 loop.
template <class Vector>
[[gnu::always_inline]] inline void reduceAndExpand(const Vector& theta, Vector& t, Vector& s,
                                                   Vector& c) {
  t = theta * kTwoOverPi + kRoundToWhole;
  const Vector n = t - kRoundToWhole;
  // Exact: n * kHalfPi1 is a double and lies within pi / 4 + 1e-4 of theta.
  const Vector r = ((theta - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi2Tail;
  const Vector z = r * r;
  Vector ps = Vector{} + kSinCoefficients[0];
  for (const double coefficient : std::span(kSinCoefficients).subspan(1)) ps = coefficient + z * ps;
  Vector pc = Vector{} + kCosCoefficients[0];
  for (const double coefficient : std::span(kCosCoefficients).subspan(1)) pc = coefficient + z * pc;
  s = r + (r * z) * ps;
  c = (1.0 - 0.5 * z) + (z * z) * pc;
}

// Sine and cosine of |theta| <= kFastAngles.
[[gnu::always_inline]] inline SinCos fastSinCos(double theta) {
  double t;
  double s;
  double c;
  reduceAndExpand(theta, t, s, c);
  const double n = t - kRoundToWhole;
  switch (static_cast<std::int64_t>(n) & 3) {
    case 0:
      return {s, c};
    case 1:
      return {c, -s};
    case 2:
      return {-s, -c};
    default:
      return {-c, s};
  }
}

// `value` to single precision when every double within `error` of it rounds to the same float,
// which then is also what `value` computed without that error rounds to.
[[gnu::always_inline]] inline bool singleIfSure(double value, double error, float& out) {
  const float single = static_cast<float>(value);
  if (static_cast<float>(value - error) != single || static_cast<float>(value + error) != single) {
    return false;
  }
  out = single;
  return true;
}

}  // namespace

PointPosition pointAt(double i, double divergenceAngle, double radiusStep) {
  const double theta = angleOf(i, divergenceAngle);
  return {((i * std::cos(theta)) * radiusStep) / 100, ((i * std::sin(theta)) * radiusStep) / 100};
}

namespace {

// Point i to single precision from its angle's sine and cosine, when sure it is what the formula
// rounds to.
[[gnu::always_inline]] inline bool fastSingle(double i, double radiusStep, const SinCos& sc,
                                              SinglePosition& out) {
  const double x = ((i * sc.cos) * radiusStep) / 100;
  const double y = ((i * sc.sin) * radiusStep) / 100;
  // The coordinates differ from the formula's by the sine's or cosine's error times the
  // distance, and by the rounding of three operations each.
  const double reach = std::abs((i * radiusStep) / 100);
  if (!(reach < 1e30)) return false;
  const double spread = reach * 2 * kSinCosError;
  return singleIfSure(x, spread + std::abs(x) * 0x1p-48, out.x) &&
         singleIfSure(y, spread + std::abs(y) * 0x1p-48, out.y);
}

SinglePosition slowSingle(double i, double divergenceAngle, double radiusStep) {
  const PointPosition p = pointAt(i, divergenceAngle, radiusStep);
  return {toSingle(p.x), toSingle(p.y)};
}

}  // namespace

#if defined(__SSE2__)

namespace {

__m128d select(__m128d mask, __m128d ifSet, __m128d otherwise) {
  return _mm_or_pd(_mm_and_pd(mask, ifSet), _mm_andnot_pd(mask, otherwise));
}

// fastSinCos() for two angles at once, the same operations on each lane; the cosine and sine
// of the first, then of the second, to `cosSin`. NaNs for an angle beyond kFastAngles.
[[gnu::always_inline]] inline void fastSinCos2(__m128d theta, double* cosSin) {
  __m128d t;
  __m128d s;
  __m128d c;
  reduceAndExpand(theta, t, s, c);
  // The quadrant n mod 4 is in the lowest bits of t: an odd one swaps sine and cosine, 2 and 3
  // negate the sine, 1 and 2 the cosine.
  const __m128i q = _mm_castpd_si128(t);
  const __m128d odd = _mm_castsi128_pd(
      _mm_shuffle_epi32(_mm_srai_epi32(_mm_slli_epi64(q, 63), 31), _MM_SHUFFLE(3, 3, 1, 1)));
  const __m128i signBit =
      _mm_set_epi32(static_cast<int>(0x80000000), 0, static_cast<int>(0x80000000), 0);
  const __m128d sinSign = _mm_castsi128_pd(_mm_and_si128(_mm_slli_epi64(q, 62), signBit));
  const __m128d cosSign =
      _mm_castsi128_pd(_mm_slli_epi64(_mm_xor_si128(q, _mm_srli_epi64(q, 1)), 63));
  const __m128d nan = _mm_set1_pd(std::numeric_limits<double>::quiet_NaN());
  const __m128d absTheta = _mm_andnot_pd(_mm_castsi128_pd(signBit), theta);
  const __m128d inRange = _mm_cmple_pd(absTheta, _mm_set1_pd(kFastAngles));
  const __m128d sine = select(inRange, _mm_xor_pd(select(odd, c, s), sinSign), nan);
  const __m128d cosine = select(inRange, _mm_xor_pd(select(odd, s, c), cosSign), nan);
  _mm_store_pd(cosSin, _mm_unpacklo_pd(cosine, sine));
  _mm_store_pd(cosSin + 2, _mm_unpackhi_pd(cosine, sine));
}

// The angles of two points, as angleOf() computes them, operation for operation.
[[gnu::always_inline]] inline __m128d angles2(__m128d i, __m128d alpha) {
  return _mm_add_pd(
      _mm_mul_pd(_mm_div_pd(_mm_mul_pd(i, alpha), _mm_set1_pd(180)), _mm_set1_pd(kPi)),
      _mm_set1_pd(kOffset));
}

// Point i's disc from the cosine and sine of its angle (NaNs where they are unknown).
[[gnu::always_inline]] inline platform::Disc discOf(double i, const double* cosSin,
                                                    double divergenceAngle, double radiusStep,
                                                    platform::OleColor fill) {
  // A hundredth times rather than divided by 100: a division costs several multiplications, and
  // the two differ by a unit in the last place or two, far inside the rounding allowed for.
  const __m128d xy = _mm_mul_pd(
      _mm_mul_pd(_mm_mul_pd(_mm_set1_pd(i), _mm_load_pd(cosSin)), _mm_set1_pd(radiusStep)),
      _mm_set1_pd(0.01));
  // As in fastSingle(), with the distance a little overestimated to spare a division.
  const double reach = std::abs(i * radiusStep) * 0.0101;
  const __m128d absXy = _mm_andnot_pd(_mm_set1_pd(-0.0), xy);
  const __m128d error =
      _mm_add_pd(_mm_set1_pd(reach * 2 * kSinCosError), _mm_mul_pd(absXy, _mm_set1_pd(0x1p-48)));
  const __m128 single = _mm_cvtpd_ps(xy);
  const __m128 same = _mm_and_ps(_mm_cmpeq_ps(single, _mm_cvtpd_ps(_mm_sub_pd(xy, error))),
                                 _mm_cmpeq_ps(single, _mm_cvtpd_ps(_mm_add_pd(xy, error))));
  if (reach < 1e30 && (_mm_movemask_ps(same) & 3) == 3) {
    return {_mm_cvtss_f32(single), _mm_cvtss_f32(_mm_shuffle_ps(single, single, 1)), fill};
  }
  const SinglePosition p = slowSingle(i, divergenceAngle, radiusStep);
  return {p.x, p.y, fill};
}

#if defined(QUIRLBILD_AVX2)

// A block's discs as above, four angles and two points at a time. No fused multiply-adds: the
// angle is computed operation for operation as the formula's, and the coordinates as discOf()'s.
[[gnu::target("avx2")]] void discsWithAvx2(const double* index, int n, double* cosSin,
                                           double divergenceAngle, double radiusStep,
                                           platform::OleColor fill, platform::Disc* out) {
  const __m256d signBit = _mm256_set1_pd(-0.0);
  for (int k = 0; k < n; k += 4) {
    const __m256d theta = _mm256_add_pd(
        _mm256_mul_pd(
            _mm256_div_pd(_mm256_mul_pd(_mm256_load_pd(index + k), _mm256_set1_pd(divergenceAngle)),
                          _mm256_set1_pd(180)),
            _mm256_set1_pd(kPi)),
        _mm256_set1_pd(kOffset));
    __m256d t;
    __m256d sr;
    __m256d cr;
    reduceAndExpand(theta, t, sr, cr);
    // As in fastSinCos2(); blendv selects by each lane's top bit.
    const __m256i q = _mm256_castpd_si256(t);
    const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(q, 63));
    const __m256d sinSign = _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(q, 62)), signBit);
    const __m256d cosSign =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_xor_si256(q, _mm256_srli_epi64(q, 1)), 63));
    const __m256d nan = _mm256_set1_pd(std::numeric_limits<double>::quiet_NaN());
    const __m256d inRange =
        _mm256_cmp_pd(_mm256_andnot_pd(signBit, theta), _mm256_set1_pd(kFastAngles), _CMP_LE_OQ);
    const __m256d sine =
        _mm256_blendv_pd(nan, _mm256_xor_pd(_mm256_blendv_pd(sr, cr, odd), sinSign), inRange);
    const __m256d cosine =
        _mm256_blendv_pd(nan, _mm256_xor_pd(_mm256_blendv_pd(cr, sr, odd), cosSign), inRange);
    const __m256d low = _mm256_unpacklo_pd(cosine, sine);
    const __m256d high = _mm256_unpackhi_pd(cosine, sine);
    _mm256_store_pd(cosSin + 2 * k, _mm256_permute2f128_pd(low, high, 0x20));
    _mm256_store_pd(cosSin + 2 * k + 4, _mm256_permute2f128_pd(low, high, 0x31));
  }
  int k = 0;
  for (; k + 2 <= n; k += 2) {
    // Two points' x and y at once, each as discOf() computes them.
    const __m256d i = _mm256_permute4x64_pd(_mm256_castpd128_pd256(_mm_loadu_pd(index + k)), 0x50);
    const __m256d xy = _mm256_mul_pd(
        _mm256_mul_pd(_mm256_mul_pd(i, _mm256_load_pd(cosSin + 2 * k)), _mm256_set1_pd(radiusStep)),
        _mm256_set1_pd(0.01));
    const __m256d reach =
        _mm256_mul_pd(_mm256_andnot_pd(signBit, _mm256_mul_pd(i, _mm256_set1_pd(radiusStep))),
                      _mm256_set1_pd(0.0101));
    const __m256d error =
        _mm256_add_pd(_mm256_mul_pd(reach, _mm256_set1_pd(2 * kSinCosError)),
                      _mm256_mul_pd(_mm256_andnot_pd(signBit, xy), _mm256_set1_pd(0x1p-48)));
    const __m128 single = _mm256_cvtpd_ps(xy);
    const __m128 same = _mm_and_ps(_mm_cmpeq_ps(single, _mm256_cvtpd_ps(_mm256_sub_pd(xy, error))),
                                   _mm_cmpeq_ps(single, _mm256_cvtpd_ps(_mm256_add_pd(xy, error))));
    const int inReach = _mm256_movemask_pd(_mm256_cmp_pd(reach, _mm256_set1_pd(1e30), _CMP_LT_OQ));
    const int sure = _mm_movemask_ps(same) & inReach;
    alignas(16) float xys[4];
    _mm_store_ps(xys, single);
    for (int j = 0; j < 2; ++j) {
      if (((sure >> (2 * j)) & 3) == 3) {
        out[k + j] = {xys[2 * j], xys[2 * j + 1], fill};
      } else {
        const SinglePosition p = slowSingle(index[k + j], divergenceAngle, radiusStep);
        out[k + j] = {p.x, p.y, fill};
      }
    }
  }
  if (k < n) out[k] = discOf(index[k], cosSin + 2 * k, divergenceAngle, radiusStep, fill);
}

#endif

}  // namespace

#endif

void discsAlong(double from, long long count, double divergenceAngle, double radiusStep,
                platform::OleColor fill, platform::Disc* out) {
  // In blocks, one step at a time for all points of a block, two or four points at once where
  // the processor can: each step's loop has no long chain of dependent operations, so the
  // processor works on many points at once (measured: 2.7 times as fast as the formula, 5.4
  // times with AVX2).
  constexpr int kBlock = 64;
  alignas(32) double index[kBlock];
  alignas(32) double cosSin[2 * kBlock];  // the cosine and sine of each point's angle
#if defined(QUIRLBILD_AVX2)
  const bool withAvx2 = platform::useAvx2();
#endif
  double i = from;
  while (count > 0) {
    const int n = static_cast<int>(std::min<long long>(count, kBlock));
    if (i == std::floor(i) && std::abs(i) < 0x1p52) {
      // Whole numbers this small: every sum is exact, so each is what the loop would reach.
      for (int k = 0; k < kBlock; ++k) index[k] = i + k;
    } else {
      for (int k = 0; k < kBlock; ++k, i += 1) index[k] = i;
    }
    i = index[n - 1] + 1;
#if defined(__SSE2__)
#if defined(QUIRLBILD_AVX2)
    if (withAvx2) {
      discsWithAvx2(index, n, cosSin, divergenceAngle, radiusStep, fill, out);
      out += n;
      count -= n;
      continue;
    }
#endif
    const __m128d alpha = _mm_set1_pd(divergenceAngle);
    for (int k = 0; k < n; k += 2) {
      fastSinCos2(angles2(_mm_load_pd(index + k), alpha), cosSin + 2 * k);
    }
    for (int k = 0; k < n; ++k) {
      out[k] = discOf(index[k], cosSin + 2 * k, divergenceAngle, radiusStep, fill);
    }
#else
    for (int k = 0; k < n; ++k) {
      const double theta = angleOf(index[k], divergenceAngle);
      const double nan = std::numeric_limits<double>::quiet_NaN();
      const SinCos sc = std::abs(theta) <= kFastAngles ? fastSinCos(theta) : SinCos{nan, nan};
      cosSin[2 * k] = sc.cos;
      cosSin[2 * k + 1] = sc.sin;
    }
    for (int k = 0; k < n; ++k) {
      SinglePosition p;
      if (!fastSingle(index[k], radiusStep, {cosSin[2 * k + 1], cosSin[2 * k]}, p)) {
        p = slowSingle(index[k], divergenceAngle, radiusStep);
      }
      out[k] = {p.x, p.y, fill};
    }
#endif
    out += n;
    count -= n;
  }
}

SinglePosition singlePointAt(double i, double divergenceAngle, double radiusStep) {
  const double theta = angleOf(i, divergenceAngle);
  SinglePosition fast;
  if (std::abs(theta) <= kFastAngles && fastSingle(i, radiusStep, fastSinCos(theta), fast)) {
    return fast;
  }
  // Far out, or too close to where single precision rounds the other way: the formula itself.
  return slowSingle(i, divergenceAngle, radiusStep);
}

}  // namespace pattern
