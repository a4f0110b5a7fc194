// SPDX-License-Identifier: GPL-3.0-or-later
// Placing circles: one at a time, and a batch in order, four at a time with AVX2 where the
// processor has it.
#include "raster/placement.h"
#include "raster/raster.h"

#include "raster/blend.h"
#include "runtime/processor.h"

#if defined(QUIRLBILD_AVX2)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace platform {

QRect CircleRasterizer::draw(const ImageView& image, double cx, double cy, double r,
                             const CircleStyle& style, const QRect& clip) {
  if (!placeable(cx, cy, r)) return rasterCircle(image, cx, cy, r, style, clip);
  return drawSprite(image, place(cx, cy, setFor(r, style)), clip);
}

#if defined(QUIRLBILD_AVX2)

// The layouts that placeFour() reads and writes whole: blits here, spots inside it.
static_assert(sizeof(Blit) == 32 && offsetof(Blit, src) == 8 && offsetof(Blit, rows) == 16 &&
              offsetof(Blit, columns) == 20 && offsetof(Blit, srcStride) == 24 &&
              offsetof(Blit, reach) == 28);

[[gnu::target("avx2")]] int CircleRasterizer::placeFour(const BatchCircle* circles,
                                                        const SpriteSet& set,
                                                        const FourPlaces& places, Blit* out,
                                                        std::int32_t* corners) {
  static_assert(sizeof(Spot) == 24 && offsetof(Spot, left) == 8 && offsetof(Spot, top) == 10 &&
                offsetof(Spot, width) == 12 && offsetof(Spot, height) == 14);
  // Lanes 0 to 3 of the eight-lane vectors hold the four circles' x quantities, 4 to 7 their y.
  const __m256d cx = _mm256_setr_pd(circles[0].cx, circles[1].cx, circles[2].cx, circles[3].cx);
  const __m256d cy = _mm256_setr_pd(circles[0].cy, circles[1].cy, circles[2].cy, circles[3].cy);
  const __m128i fills =
      _mm_setr_epi32(static_cast<int>(circles[0].fill), static_cast<int>(circles[1].fill),
                     static_cast<int>(circles[2].fill), static_cast<int>(circles[3].fill));
  // As placeable(); NaNs fail the comparison.
  const __m256d magnitude = _mm256_set1_pd(-0.0);
  const __m256d most = _mm256_set1_pd(kMostCentre);
  const int inReach = _mm256_movemask_pd(
      _mm256_and_pd(_mm256_cmp_pd(_mm256_andnot_pd(magnitude, cx), most, _CMP_LE_OQ),
                    _mm256_cmp_pd(_mm256_andnot_pd(magnitude, cy), most, _CMP_LE_OQ)));
  // The centres to the nearest eighth of a pixel, as nearest() rounds. A centre this far out
  // lies outside the area, so the clamp (which keeps the conversion in range) changes no
  // placement that is used.
  const __m256d steps = _mm256_set1_pd(kMaxSteps);
  const __m256d low = _mm256_set1_pd(-1073741824.0);
  const __m256d high = _mm256_set1_pd(1073741824.0);
  const __m256i q = _mm256_set_m128i(
      _mm256_cvtpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(cy, steps), low), high)),
      _mm256_cvtpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(cx, steps), low), high)));
  const __m256i sub = _mm256_and_si256(q, _mm256_set1_epi32(kMaxSteps - 1));
  const __m256i pixel = _mm256_srai_epi32(q, 3);
  const __m128i index = _mm_add_epi32(_mm_slli_epi32(_mm256_extracti128_si256(sub, 1), 3),
                                      _mm256_castsi256_si128(sub));
  const __m128i spotIndex = _mm_add_epi32(index, _mm_slli_epi32(index, 1));  // 24 bytes a spot
  const auto* const spots = reinterpret_cast<const char*>(set.spots.data());
  // Each spot's left, top, width and height (16 bits each), then as lanes: left and top, and
  // width and height.
  const __m256i all = _mm256_set1_epi64x(-1);
  const __m256i geometry = _mm256_mask_i32gather_epi64(
      _mm256_setzero_si256(), reinterpret_cast<const long long*>(spots + offsetof(Spot, left)),
      spotIndex, all, 8);
  const __m256i pixels = _mm256_mask_i32gather_epi64(
      _mm256_setzero_si256(), reinterpret_cast<const long long*>(spots), spotIndex, all, 8);
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
  const __m256i first = _mm256_load_si256(reinterpret_cast<const __m256i*>(places.first));
  const __m256i end = _mm256_load_si256(reinterpret_cast<const __m256i*>(places.end));
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
  const __m128i ours = _mm_and_si128(
      rendered, _mm_cmpeq_epi32(fills, _mm_set1_epi32(static_cast<int>(set.style.fill))));
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
  const __m128i offset = _mm_add_epi32(_mm_mullo_epi32(top, _mm_set1_epi32(places.stride)), left);
  const __m128i skipped =
      _mm_mullo_epi32(_mm_sub_epi32(top, _mm256_extracti128_si256(at, 1)), stride);
  const __m256i dst = _mm256_add_epi64(_mm256_set1_epi64x(static_cast<long long>(places.origin)),
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

#endif

void CircleRasterizer::drawInOrder(const ImageView& image, std::span<const BatchCircle> circles,
                                   double r, CircleStyle style, const QRect& area, Damage& drawn) {
  // In two steps for each chunk of circles: where each sprite goes, then the blending. Each
  // step's loop is short, so the processor works on several circles at once (measured: a tenth
  // off a redraw of 600,000 small circles), and the blending can use the widest instructions
  // the processor has (AVX2: more than half off).
  constexpr std::size_t kChunk = 64;
  std::array<Blit, kChunk> blits;
  std::size_t pending = 0;
  const QRect inside = area & image.rect();
  const auto blitPending = [&] {
    blitAll(std::span(blits.data(), pending), image.stride);
    pending = 0;
  };
  // What every circle of the batch shares, taken out of the loop: it runs for every circle of a
  // redraw.
  const bool fromSprites = r > 0.0 && r <= kMaxRadius;
  const int steps = stepsFor(r);
  const int shift = steps == kMaxSteps ? 3 : 2;
  const double perPixel = steps;
  const int insideLeft = inside.left();
  const int insideTop = inside.top();
  const int insideRight = inside.right() + 1;  // past the last column
  const int insideBottom = inside.bottom() + 1;
  // The sprite set is looked up once for each run of circles of one fill, not for each circle;
  // the set found stays where it is until the next lookup, which may drop a set, so what is
  // pending is blitted first.
  SpriteSet* set = nullptr;
  const auto drawOne = [&](const BatchCircle& circle) {
    if (!placeable(circle.cx, circle.cy, r)) {
      blitPending();
      style.fill = circle.fill;
      drawn.add(rasterCircle(image, circle.cx, circle.cy, r, style, area));
      return;
    }
    if (!set || set->style.fill != circle.fill) {
      blitPending();
      style.fill = circle.fill;
      set = &setFor(r, style);
    }
    // As place() finds the sprite and where it lies.
    const long long qx = nearest(circle.cx * perPixel);
    const long long qy = nearest(circle.cy * perPixel);
    const Spot& spot = set->spots[spriteAt(*set, qx, qy)];
    const int left = static_cast<int>(qx >> shift) + spot.left;
    const int top = static_cast<int>(qy >> shift) + spot.top;
    const int right = left + spot.width;
    const int x0 = std::max(left, insideLeft);
    const int x1 = std::min(right, insideRight);
    const int y0 = std::max(top, insideTop);
    const int y1 = std::min(top + spot.height, insideBottom);
    if (x0 >= x1 || y0 >= y1) return;
    drawn.add(QRect(x0, y0, x1 - x0, y1 - y0));
    // Past a row's last pixel the sprite's transparent padding may be blended too, as far as
    // the area goes: that leaves the image as it is. Not where the area cuts the row short.
    const int cut = x0 - left;
    const int reach = x1 < right ? x1 - x0 : std::min(spot.stride - cut, insideRight - x0);
    blits[pending++] = {image.row(y0) + x0,
                        spot.pixels + static_cast<std::size_t>(y0 - top) * spot.stride + cut,
                        y1 - y0,
                        x1 - x0,
                        spot.stride,
                        reach};
    if (pending == kChunk) blitPending();
  };
#if defined(QUIRLBILD_AVX2)
  // Four circles at a time where that can be (measured: a tenth off a redraw of 600,000 small
  // circles): small sprites, and an image whose offsets fit 32 bits.
  const bool byFour = useAvx2() && fromSprites && steps == kMaxSteps && inside.isValid() &&
                      image.size.width() <= kMostSide && image.size.height() <= kMostSide &&
                      image.stride * image.size.height() < (qsizetype{1} << 31);
  if (byFour) {
    FourPlaces places;
    for (int lane = 0; lane < 4; ++lane) {
      places.first[lane] = insideLeft;
      places.first[lane + 4] = insideTop;
      places.end[lane] = insideRight;
      places.end[lane + 4] = insideBottom;
    }
    places.stride = static_cast<int>(image.stride);
    places.origin = image.origin();
    std::size_t k = 0;
    for (; k + 4 <= circles.size(); k += 4) {
      if (!set) {
        for (std::size_t lane = 0; lane < 4; ++lane) drawOne(circles[k + lane]);
        continue;
      }
      // Written where they are blitted from: most often all four are placed, and once the
      // damage is all of the area there is nothing more to do for them.
      if (pending + 4 > kChunk) blitPending();
      Blit* const four = &blits[pending];
      std::array<std::int32_t, 8> corners;  // the four first pixels drawn: columns, then rows
      const int placed = placeFour(&circles[k], *set, places, four, corners.data());
      if (placed == 0xF && drawn.all()) {
        pending += 4;
        if (pending == kChunk) blitPending();
        continue;
      }
      // Each lane in order: a circle drawn alone appends its blit at `pending`, over the four.
      const std::array<Blit, 4> written{four[0], four[1], four[2], four[3]};
      for (std::size_t lane = 0; lane < 4; ++lane) {
        if ((placed >> lane & 1) == 0) {
          // Passed over, or left to the way each circle is drawn alone.
          if ((placed >> (lane + 4) & 1) == 0) drawOne(circles[k + lane]);
          continue;
        }
        drawn.add(
            QRect(corners[lane], corners[lane + 4], written[lane].columns, written[lane].rows));
        blits[pending++] = written[lane];
        if (pending == kChunk) blitPending();
      }
    }
    for (; k < circles.size(); ++k) drawOne(circles[k]);
    blitPending();
    return;
  }
#endif
  for (const BatchCircle& circle : circles) drawOne(circle);
  blitPending();
}

}  // namespace platform
