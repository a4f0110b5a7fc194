// SPDX-License-Identifier: GPL-3.0-or-later
// The hot kernels with AVX2: eight pixels, eight discs, four circles or four angles at a time.
// The only file built with the AVX2 flags, and the only one that names its instructions; each
// kernel's portable twin is in portable.cpp, and the tests hold the two against each other.
//
// Built for AVX2, its code must run only once the processor is known to have it. So it calls
// nothing inline from another header (a copy built here could stand in for the one the rest of
// the program calls): only intrinsics, its own functions, and the portable row's for what is
// left over after the wide steps. No fused multiply-adds (the flags leave them out): the angle is
// computed operation for operation as the formula's.
#include "kernels/avx2.h"

#include "kernels/portable.h"
#include "kernels/positions.h"

#include <immintrin.h>

#include <cstddef>

namespace platform::avx2 {

namespace {

// blendRow() of eight pixels, as byteMul() computes, on the red and blue channels and on the
// green and alpha ones of all eight at once.
[[gnu::always_inline]] inline __m256i blendEight(__m256i s, __m256i d) {
  const __m256i lowBytes = _mm256_set1_epi32(0x00FF00FF);
  const __m256i half = _mm256_set1_epi16(0x80);
  __m256i alpha = _mm256_srli_epi32(s, 24);
  alpha = _mm256_sub_epi16(_mm256_set1_epi16(255),
                           _mm256_or_si256(alpha, _mm256_slli_epi32(alpha, 16)));
  __m256i ag = _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), alpha);
  __m256i rb = _mm256_mullo_epi16(_mm256_and_si256(d, lowBytes), alpha);
  ag = _mm256_add_epi16(_mm256_add_epi16(ag, _mm256_srli_epi16(ag, 8)), half);
  rb = _mm256_add_epi16(_mm256_add_epi16(rb, _mm256_srli_epi16(rb, 8)), half);
  const __m256i product =
      _mm256_or_si256(_mm256_andnot_si256(lowBytes, ag), _mm256_srli_epi16(rb, 8));
  return _mm256_add_epi32(s, product);
}

[[gnu::always_inline]] inline void blendEightAt(QRgb* dst, const QRgb* src) {
  auto* const to = reinterpret_cast<__m256i*>(dst);
  _mm256_storeu_si256(to, blendEight(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)),
                                     _mm256_loadu_si256(to)));
}

}  // namespace

// Eight pixels at a time, a row's last ones with the transparent padding after them where the
// blit reaches that far (measured: a third off a redraw of 600,000 small circles), else by masked
// loads and stores that touch no pixel past the row.
void blitAll(const Blit* blits, std::size_t count, qsizetype dstStride) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (const Blit* blit = blits; blit != blits + count; ++blit) {
    if (blit->columns <= 8 && blit->reach >= 8) {
      // A small sprite's rows, one step each, with none of the tests below: most blits of a
      // redraw. Sprites of a set are all as high, so the loop's end is foreseen (measured, the
      // two together: 8 % off a redraw of 600,000 small circles; neither alone pays).
      QRgb* dst = blit->dst;
      const QRgb* src = blit->src;
      for (int row = 0; row < blit->rows; ++row, dst += dstStride, src += blit->srcStride) {
        auto* const to = reinterpret_cast<__m256i*>(dst);
        _mm256_storeu_si256(to,
                            blendEight(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)),
                                       _mm256_loadu_si256(to)));
      }
      continue;
    }
    const int whole = blit->columns & ~7;
    const __m256i last = _mm256_cmpgt_epi32(_mm256_set1_epi32(blit->columns - whole), lanes);
    QRgb* dst = blit->dst;
    const QRgb* src = blit->src;
    for (int row = 0; row < blit->rows; ++row, dst += dstStride, src += blit->srcStride) {
      for (int x = 0; x < whole; x += 8) blendEightAt(dst + x, src + x);
      if (whole == blit->columns) continue;
      if (whole + 8 <= blit->reach) {
        blendEightAt(dst + whole, src + whole);
        continue;
      }
      auto* const to = reinterpret_cast<int*>(dst + whole);
      const __m256i s = _mm256_maskload_epi32(reinterpret_cast<const int*>(src + whole), last);
      _mm256_maskstore_epi32(to, last, blendEight(s, _mm256_maskload_epi32(to, last)));
    }
  }
}

namespace {

static_assert(sizeof(Disc) == 12 && offsetof(Disc, y) == 4);

// For each mask of eight lanes, the numbers of its set lanes, first to last, three bits each.
// A plain array: std::array's operator[] is a function of a header.
struct SetLanes {
  std::uint32_t of[256];
};
constexpr SetLanes kSetLanes = [] {
  SetLanes lanes{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned at = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if (mask >> lane & 1) lanes.of[mask] |= lane << (3 * at++);
    }
  }
  return lanes;
}();

}  // namespace

std::size_t discsInRows(const Disc* discs, std::size_t count, UserRows rows, std::uint32_t* out) {
  const __m256 lowest = _mm256_set1_ps(rows.lowest);
  const __m256 highest = _mm256_set1_ps(rows.highest);
  const __m256i shifts = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
  const __m256i seven = _mm256_set1_epi32(7);
  std::size_t kept = 0;
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    // Eight discs are 24 floats; their y are floats 1, 4, ..., 22.
    const float* const floats = &discs[i].x;
    const __m256 a = _mm256_permutevar8x32_ps(_mm256_loadu_ps(floats),
                                              _mm256_setr_epi32(1, 4, 7, 0, 0, 0, 0, 0));
    const __m256 b = _mm256_permutevar8x32_ps(_mm256_loadu_ps(floats + 8),
                                              _mm256_setr_epi32(0, 0, 0, 2, 5, 0, 0, 0));
    const __m256 c = _mm256_permutevar8x32_ps(_mm256_loadu_ps(floats + 16),
                                              _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 3, 6));
    const __m256 y = _mm256_blend_ps(_mm256_blend_ps(a, b, 0x18), c, 0xE0);
    const __m256 off =
        _mm256_or_ps(_mm256_cmp_ps(y, lowest, _CMP_LT_OQ), _mm256_cmp_ps(y, highest, _CMP_GT_OQ));
    const unsigned inRows = ~static_cast<unsigned>(_mm256_movemask_ps(off)) & 0xFF;
    // The kept discs' numbers moved to the front and stored whole: what lies past them is
    // written over next time.
    const __m256i lanes = _mm256_and_si256(
        _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(kSetLanes.of[inRows])), shifts),
        seven);
    const __m256i numbers = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(i)),
                                             _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kept),
                        _mm256_permutevar8x32_epi32(numbers, lanes));
    kept += static_cast<std::size_t>(__builtin_popcount(inRows));
  }
  return portable::appendDiscsInRows(discs, i, count, rows, out, kept);
}

// The layouts that placeFour() reads and writes whole.
static_assert(sizeof(Blit) == 32 && offsetof(Blit, src) == 8 && offsetof(Blit, rows) == 16 &&
              offsetof(Blit, columns) == 20 && offsetof(Blit, srcStride) == 24 &&
              offsetof(Blit, reach) == 28);
static_assert(sizeof(SpriteLayout) == 24 && offsetof(SpriteLayout, left) == 8 &&
              offsetof(SpriteLayout, top) == 10 && offsetof(SpriteLayout, width) == 12 &&
              offsetof(SpriteLayout, height) == 14);
static_assert(kPlacedSteps == 8);

int placeFour(const BatchCircle* circles, const SpriteLayout* layouts, QRgb fill,
              const BlitTarget& target, Blit* out, std::int32_t* corners) {
  // Lanes 0 to 3 of the eight-lane vectors hold the four circles' x quantities, 4 to 7 their y.
  const __m256d cx = _mm256_setr_pd(circles[0].cx, circles[1].cx, circles[2].cx, circles[3].cx);
  const __m256d cy = _mm256_setr_pd(circles[0].cy, circles[1].cy, circles[2].cy, circles[3].cy);
  const __m128i fills =
      _mm_setr_epi32(static_cast<int>(circles[0].fill), static_cast<int>(circles[1].fill),
                     static_cast<int>(circles[2].fill), static_cast<int>(circles[3].fill));
  // NaNs fail the comparison.
  const __m256d magnitude = _mm256_set1_pd(-0.0);
  const __m256d most = _mm256_set1_pd(kMostPlacedCentre);
  const int inReach = _mm256_movemask_pd(
      _mm256_and_pd(_mm256_cmp_pd(_mm256_andnot_pd(magnitude, cx), most, _CMP_LE_OQ),
                    _mm256_cmp_pd(_mm256_andnot_pd(magnitude, cy), most, _CMP_LE_OQ)));
  // The centres to the nearest eighth of a pixel, halves to even. A centre this far out lies
  // outside the area, so the clamp (which keeps the conversion in range) changes no placement
  // that is used.
  const __m256d steps = _mm256_set1_pd(kPlacedSteps);
  const __m256d low = _mm256_set1_pd(-1073741824.0);
  const __m256d high = _mm256_set1_pd(1073741824.0);
  const __m256i q = _mm256_set_m128i(
      _mm256_cvtpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(cy, steps), low), high)),
      _mm256_cvtpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(cx, steps), low), high)));
  const __m256i sub = _mm256_and_si256(q, _mm256_set1_epi32(kPlacedSteps - 1));
  const __m256i pixel = _mm256_srai_epi32(q, 3);
  const __m128i index = _mm_add_epi32(_mm_slli_epi32(_mm256_extracti128_si256(sub, 1), 3),
                                      _mm256_castsi256_si128(sub));
  const __m128i layoutIndex = _mm_add_epi32(index, _mm_slli_epi32(index, 1));  // 24 bytes each
  const auto* const bytes = reinterpret_cast<const char*>(layouts);
  // Each layout's left, top, width and height (16 bits each), then as lanes: left and top, and
  // width and height.
  const __m256i all = _mm256_set1_epi64x(-1);
  const __m256i geometry = _mm256_mask_i32gather_epi64(
      _mm256_setzero_si256(),
      reinterpret_cast<const long long*>(bytes + offsetof(SpriteLayout, left)), layoutIndex, all,
      8);
  const __m256i pixels = _mm256_mask_i32gather_epi64(
      _mm256_setzero_si256(), reinterpret_cast<const long long*>(bytes), layoutIndex, all, 8);
  const __m256i byField = _mm256_permutevar8x32_epi32(
      _mm256_shuffle_epi8(
          geometry, _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8,
                                     9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15)),
      _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
  const __m256i leftTop = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(byField));
  const __m256i widthHeight = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(byField, 1));
  const __m256i at = _mm256_add_epi32(pixel, leftTop);
  const __m128i width = _mm256_castsi256_si128(widthHeight);
  // Rows of up to eight pixels are padded to eight, longer ones to sixteen.
  const __m128i stride =
      _mm_add_epi32(_mm_set1_epi32(8),
                    _mm_and_si128(_mm_cmpgt_epi32(width, _mm_set1_epi32(8)), _mm_set1_epi32(8)));
  // The rows each sprite has in the area: a strip's edges run through many circles. Its columns
  // must lie wholly inside the area with each row's padding; it must be rendered, at most sixteen
  // wide, and of the set's fill.
  const __m256i first = _mm256_load_si256(reinterpret_cast<const __m256i*>(target.first));
  const __m256i end = _mm256_load_si256(reinterpret_cast<const __m256i*>(target.end));
  const __m256i begin = _mm256_max_epi32(at, first);
  const __m256i finish = _mm256_min_epi32(_mm256_add_epi32(at, widthHeight), end);
  const __m256i meets = _mm256_cmpgt_epi32(finish, begin);
  // Both the sprite's columns and its rows meet the area's: not in a strip's margin.
  const __m128i meetsBoth =
      _mm_and_si128(_mm256_castsi256_si128(meets), _mm256_extracti128_si256(meets, 1));
  const __m128i left = _mm256_castsi256_si128(at);
  const __m128i columnsInside = _mm_andnot_si128(
      _mm_cmpgt_epi32(_mm256_castsi256_si128(first), left),
      _mm_cmpgt_epi32(_mm_add_epi32(_mm256_castsi256_si128(end), _mm_set1_epi32(1)),
                      _mm_add_epi32(left, stride)));
  const __m128i rendered = _mm_and_si128(_mm_cmpgt_epi32(width, _mm_set1_epi32(-1)),
                                         _mm_cmpgt_epi32(_mm_set1_epi32(17), width));
  const __m128i ours =
      _mm_and_si128(rendered, _mm_cmpeq_epi32(fills, _mm_set1_epi32(static_cast<int>(fill))));
  const __m128i ok = _mm_and_si128(_mm_and_si128(columnsInside, meetsBoth), ours);
  const int placed = _mm_movemask_ps(_mm_castsi128_ps(ok)) & inReach;
  const int passed =
      _mm_movemask_ps(_mm_castsi128_ps(_mm_andnot_si128(meetsBoth, ours))) & inReach & ~placed;
  if (placed == 0) return passed << 4;
  // A placed sprite's columns all lie in the area, so its first pixel there is (left, first row).
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(corners), begin);
  const __m128i top = _mm256_extracti128_si256(begin, 1);
  const __m128i rows = _mm_sub_epi32(_mm256_extracti128_si256(finish, 1), top);
  // Where each sprite's first row in the area starts on the image, and in the sprite.
  const __m128i offset = _mm_add_epi32(_mm_mullo_epi32(top, _mm_set1_epi32(target.stride)), left);
  const __m128i skipped =
      _mm_mullo_epi32(_mm_sub_epi32(top, _mm256_extracti128_si256(at, 1)), stride);
  const __m256i dst = _mm256_add_epi64(_mm256_set1_epi64x(static_cast<long long>(target.origin)),
                                       _mm256_slli_epi64(_mm256_cvtepi32_epi64(offset), 2));
  const __m256i src =
      _mm256_add_epi64(pixels, _mm256_slli_epi64(_mm256_cvtepi32_epi64(skipped), 2));
  // The four blits: destination and source, then rows, columns, and the padded row for the
  // source's stride and the reach.
  const __m256i dstSrcEven = _mm256_unpacklo_epi64(dst, src);  // circles 0 and 2
  const __m256i dstSrcOdd = _mm256_unpackhi_epi64(dst, src);   // circles 1 and 3
  const __m128i sizeFirst = _mm_unpacklo_epi32(rows, width);   // circles 0 and 1
  const __m128i sizeLast = _mm_unpackhi_epi32(rows, width);    // circles 2 and 3
  const __m128i strideFirst = _mm_unpacklo_epi32(stride, stride);
  const __m128i strideLast = _mm_unpackhi_epi32(stride, stride);
  auto* const to = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(
      to, _mm256_inserti128_si256(dstSrcEven, _mm_unpacklo_epi64(sizeFirst, strideFirst), 1));
  _mm256_storeu_si256(
      to + 1, _mm256_inserti128_si256(dstSrcOdd, _mm_unpackhi_epi64(sizeFirst, strideFirst), 1));
  _mm256_storeu_si256(
      to + 2,
      _mm256_permute2x128_si256(
          dstSrcEven, _mm256_castsi128_si256(_mm_unpacklo_epi64(sizeLast, strideLast)), 0x21));
  _mm256_storeu_si256(
      to + 3,
      _mm256_permute2x128_si256(
          dstSrcOdd, _mm256_castsi128_si256(_mm_unpackhi_epi64(sizeLast, strideLast)), 0x21));
  return placed | passed << 4;
}

// Four angles and two points at a time. The angle is computed operation for operation as the
// formula's, the coordinates as the portable twin's, with a hundredth times rather than divided
// by 100 (a division costs several multiplications; the two differ by a unit in the last place
// or two, far inside the rounding allowed for) and the distance a little overestimated to spare
// a division.
int positions(PositionBlock& block, int count, double divergenceAngle, double radiusStep,
              OleColor fill, Disc* out) {
  using namespace position;
  const double* const index = block.index;
  double* const cosSin = block.cosSin;
  const __m256d signBit = _mm256_set1_pd(-0.0);
  for (int k = 0; k < count; k += 4) {
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
    // The quadrant n mod 4 is in the lowest bits of t: an odd one swaps sine and cosine, 2 and 3
    // negate the sine, 1 and 2 the cosine; blendv selects by each lane's top bit. NaNs for an
    // angle beyond kFastAngles.
    const __m256i q = _mm256_castpd_si256(t);
    const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(q, 63));
    const __m256d sinSign = _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(q, 62)), signBit);
    const __m256d cosSign =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_xor_si256(q, _mm256_srli_epi64(q, 1)), 63));
    const __m256d nan = _mm256_set1_pd(__builtin_nan(""));
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
  int unsure = 0;
  int k = 0;
  for (; k + 2 <= count; k += 2) {
    // Two points' x and y at once.
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
      out[k + j] = {xys[2 * j], xys[2 * j + 1], fill};
      if (((sure >> (2 * j)) & 3) != 3) block.unsure[unsure++] = k + j;
    }
  }
  if (k < count) portable::positionFromCosSin(block, k, radiusStep, fill, out, unsure);
  return unsure;
}

constinit const Kernels kernelRow{"avx2", positions, discsInRows, placeFour, blitAll};

}  // namespace platform::avx2
