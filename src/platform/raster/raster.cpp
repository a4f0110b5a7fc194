// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/raster.h"

#include "raster/blend.h"
#include "runtime/processor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(QUIRLBILD_AVX2)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace platform {

namespace {

double clamp01(double v) {
  return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

// Premultiplied colour of a pixel that is `fillCover` fill and `ringCover` outline.
QRgb coverColour(const CircleStyle& style, double fillCover, double ringCover) {
  auto channel = [&](int shift) {
    const double value =
        ((style.fill >> shift) & 0xFF) * fillCover + ((style.outline >> shift) & 0xFF) * ringCover;
    return static_cast<QRgb>(value + 0.5) << shift;  // non-negative, so this rounds
  };
  const double alpha = (fillCover + ringCover) * 255.0;
  return channel(0) | channel(8) | channel(16) | static_cast<QRgb>(alpha + 0.5) << 24;
}

// The premultiplied colour of the pixel whose centre lies (dx, dy) from the centre of a circle
// of radius r, drawn as QPainter draws an antialiased ellipse with a thin pen: the disc filled
// with area coverage, then the outline on top as a line one pen wide that, like a cosmetic line,
// shares its ink between the two pixels nearest to it across its direction of travel.
QRgb pixelAt(double dx, double dy, double r, const CircleStyle& style) {
  const double adx = std::abs(dx);
  const double ady = std::abs(dy);
  const double d = std::sqrt(dx * dx + dy * dy);
  const double fillCover = style.filled ? clamp01(r - d + 0.5) : 0.0;
  // Distance from the pixel's centre to the outline along the axis the outline crosses.
  const double major = std::max(adx, ady);
  const double minor = std::min(adx, ady);
  const double across =
      minor > r ? r + 1.0 + style.penWidth : std::abs(major - std::sqrt(r * r - minor * minor));
  const double ringCover = clamp01(style.penWidth / 2.0 + 0.5 - across);
  if (fillCover <= 0.0 && ringCover <= 0.0) return 0;
  return coverColour(style, fillCover * (1.0 - ringCover), ringCover);
}

}  // namespace

QRect rasterCircle(const ImageView& image, double cx, double cy, double r, const CircleStyle& style,
                   const QRect& clip) {
  if (!(r > 0.0) || !std::isfinite(cx) || !std::isfinite(cy)) return {};
  const QRect area = clip & image.rect();
  if (area.isEmpty()) return {};
  const int width = image.size.width();
  const int height = image.size.height();

  const QRgb fill = style.fill | 0xFF000000;
  if (std::isinf(r)) {
    if (!style.filled) return {};
    for (int y = area.top(); y <= area.bottom(); ++y) {
      std::fill(image.row(y) + area.left(), image.row(y) + area.right() + 1, fill);
    }
    return area;
  }

  const double half = style.penWidth / 2.0;
  const double outer = r + half;  // outer edge of the outline
  const double inner = r - half;  // inner edge of the outline, where the fill shows
  const double reach = outer + 0.5;

  // Pixel positions, clamped in double first so that huge coordinates cannot overflow int.
  const auto pixelOf = [](double v, int limit) {
    return static_cast<int>(std::clamp(std::floor(v), -1.0, static_cast<double>(limit)));
  };
  const auto pixelAbove = [](double v, int limit) {
    return static_cast<int>(std::clamp(std::ceil(v), -1.0, static_cast<double>(limit)));
  };
  const int x0 = std::max(pixelOf(cx - reach, width), area.left());
  const int x1 = std::min(pixelOf(cx + reach, width), area.right());
  const int y0 = std::max(pixelOf(cy - reach, height), area.top());
  const int y1 = std::min(pixelOf(cy + reach, height), area.bottom());
  if (x0 > x1 || y0 > y1) return {};

  const double solid = inner - 0.5;  // pixels whose centre is this close are wholly fill
  for (int y = y0; y <= y1; ++y) {
    const double dy = y + 0.5 - cy;
    const double dy2 = dy * dy;
    if (dy2 > reach * reach) continue;
    const double span = std::sqrt(reach * reach - dy2);
    const int sx0 = std::max(x0, pixelOf(cx - span - 0.5, width));
    const int sx1 = std::min(x1, pixelOf(cx + span - 0.5, width) + 1);

    // Pixels whose centres lie within `solid` of the centre take the fill as it is.
    int fx0 = sx1 + 1;
    int fx1 = sx1;
    if (style.filled && solid > 0.0 && solid * solid > dy2) {
      const double fullSpan = std::sqrt(solid * solid - dy2);
      fx0 = std::max(sx0, pixelAbove(cx - fullSpan - 0.5, width));
      fx1 = std::min(sx1, pixelOf(cx + fullSpan - 0.5, width));
      if (fx0 > fx1) {
        fx0 = sx1 + 1;
        fx1 = sx1;
      }
    }

    QRgb* const row = image.row(y);
    auto edge = [&](int x) {
      const double dx = x + 0.5 - cx;
      const QRgb src = pixelAt(dx, dy, r, style);
      if (src) row[x] = blendOver(row[x], src);
    };
    for (int x = sx0; x < std::min(fx0, sx1 + 1); ++x) edge(x);
    if (fx0 <= fx1) std::fill(row + fx0, row + fx1 + 1, fill);
    for (int x = std::max(fx1 + 1, sx0); x <= sx1; ++x) edge(x);
  }
  return QRect(QPoint(x0, y0), QPoint(x1, y1));
}

CircleRasterizer::SpriteSet& CircleRasterizer::setFor(double r, const CircleStyle& style) {
  // Successive circles almost always share radius and style.
  if (!sets_.empty() && sets_.back().radius == r && sets_.back().style == style) {
    return sets_.back();
  }
  // Keep the sets in order of use, the latest last; the oldest goes first when full.
  for (auto it = sets_.begin(); it != sets_.end(); ++it) {
    if (it->radius == r && it->style == style) {
      std::rotate(it, it + 1, sets_.end());
      return sets_.back();
    }
  }
  if (sets_.size() == kMaxSets) {
    sets_.erase(sets_.begin());
    ++droppedSets_;
  }
  SpriteSet& set = sets_.emplace_back();
  set.radius = r;
  set.style = style;
  set.steps = stepsFor(r);
  return set;
}

void CircleRasterizer::render(Sprite& sprite, Spot& spot, const SpriteSet& set, int sx, int sy) {
  const double r = set.radius;
  const CircleStyle& style = set.style;
  // The circle's centre relative to the top-left corner of its own pixel.
  const double cx = static_cast<double>(sx) / set.steps;
  const double cy = static_cast<double>(sy) / set.steps;
  const int half = static_cast<int>(std::ceil(r + style.penWidth / 2.0 + 0.5)) + 1;
  const int size = 2 * half + 1;
  std::vector<QRgb> full(static_cast<std::size_t>(size) * size);
  int x0 = size, y0 = size, x1 = -1, y1 = -1;
  for (int v = 0; v < size; ++v) {
    for (int u = 0; u < size; ++u) {
      const QRgb pixel = pixelAt(u - half + 0.5 - cx, v - half + 0.5 - cy, r, style);
      full[static_cast<std::size_t>(v) * size + u] = pixel;
      if (pixel) {
        x0 = std::min(x0, u);
        x1 = std::max(x1, u);
        y0 = std::min(y0, v);
        y1 = std::max(y1, v);
      }
    }
  }
  if (x1 < 0) {
    spot = {};
    spot.width = 0;
    return;
  }
  const int width = x1 - x0 + 1;
  // Every sprite of a set as high as the highest can be, the rows it lacks transparent below it:
  // blending a transparent row leaves the image as it is, and the AVX2 blend (blend.cpp) then
  // runs its row loop the same number of times for each circle, so the processor foresees the
  // loop's end (see there).
  // As high as the rows that the outline, r + pen / 2 from the centre, can reach.
  const double reach = r + style.penWidth / 2;
  const int height = std::max(y1 - y0 + 1, static_cast<int>(std::ceil(2 * reach)) + 1);
  const int stride = (width + 7) / 8 * 8;
  sprite.pixels.reserve(static_cast<std::size_t>(stride) * height);
  sprite.rows.reserve(static_cast<std::size_t>(height));
  for (int v = y0; v < y0 + height; ++v) {
    if (v > y1) {
      sprite.pixels.resize(sprite.pixels.size() + stride, 0);
      sprite.rows.push_back(RowSpan{});
      continue;
    }
    const auto* row = full.data() + static_cast<std::size_t>(v) * size;
    sprite.pixels.insert(sprite.pixels.end(), row + x0, row + x1 + 1);
    sprite.pixels.resize(sprite.pixels.size() + (stride - width), 0);
    RowSpan span;
    int runStart = 0;
    for (int u = 0; u < width; ++u) {
      const QRgb pixel = row[x0 + u];
      if (pixel && span.first > span.last) span.first = u;
      if (pixel) span.last = u;
      if (qAlpha(pixel) != 255) {
        runStart = u + 1;
      } else if (u - runStart > span.opaqueLast - span.opaqueFirst) {
        span.opaqueFirst = runStart;
        span.opaqueLast = u;
      }
    }
    sprite.rows.push_back(span);
  }
  spot = {sprite.pixels.data(),
          static_cast<std::int16_t>(x0 - half),
          static_cast<std::int16_t>(y0 - half),
          static_cast<std::int16_t>(width),
          static_cast<std::int16_t>(height),
          static_cast<std::int16_t>(stride)};
}

namespace {

// std::llrint() for the centres that placeable() lets through, without a call into the library.
[[gnu::always_inline]] inline long long nearest(double v) {
#if defined(__SSE2__) && defined(__x86_64__)
  return _mm_cvtsd_si64(_mm_set_sd(v));  // rounds as the current mode says, as llrint does
#else
  return std::llrint(v);
#endif
}

}  // namespace

[[gnu::always_inline]] inline bool CircleRasterizer::placeable(double cx, double cy, double r) {
  return r > 0.0 && r <= kMaxRadius && std::isfinite(cx) && std::isfinite(cy) &&
         std::abs(cx) <= kMostCentre && std::abs(cy) <= kMostCentre;
}

// Inlined, as place() is.
[[gnu::always_inline]] inline int CircleRasterizer::spriteAt(SpriteSet& set, long long qx,
                                                             long long qy) {
  // Steps is a power of two: the mask takes the position inside the pixel, as a floor division
  // would leave it.
  const int sx = static_cast<int>(qx & (set.steps - 1));
  const int sy = static_cast<int>(qy & (set.steps - 1));
  const int index = sy * set.steps + sx;
  Spot& spot = set.spots[index];
  if (spot.width < 0) render(set.sprites[index], spot, set, sx, sy);
  return index;
}

// Inlined: it runs for every circle of a redraw.
[[gnu::always_inline]] inline CircleRasterizer::Placement CircleRasterizer::place(double cx,
                                                                                  double cy,
                                                                                  SpriteSet& set) {
  const int steps = set.steps;
  // The centre to the nearest 1/steps pixel (halves to even, as nearbyint), split into its
  // pixel and its position inside that pixel; steps is a power of two, so a shift does the floor
  // division. Integer arithmetic: this runs for every circle of a redraw.
  const int shift = steps == 8 ? 3 : 2;
  const long long qx = nearest(cx * steps);
  const long long qy = nearest(cy * steps);
  const int index = spriteAt(set, qx, qy);
  const Spot& spot = set.spots[index];
  return {&set.sprites[index],
          QRect(static_cast<int>(qx >> shift) + spot.left, static_cast<int>(qy >> shift) + spot.top,
                spot.width, spot.height),
          spot.pixels, spot.stride};
}

[[gnu::always_inline]] inline QRect CircleRasterizer::drawSprite(const ImageView& image,
                                                                 const Placement& placement,
                                                                 const QRect& clip) {
  // The sprite's pixels inside the clip and the image, without QRect's general intersection:
  // this runs for every circle.
  const QRect& a = placement.area;
  const QRect visible(
      QPoint(std::max({a.left(), clip.left(), 0}), std::max({a.top(), clip.top(), image.firstRow})),
      QPoint(std::min({a.right(), clip.right(), image.size.width() - 1}),
             std::min({a.bottom(), clip.bottom(), image.firstRow + image.rows - 1})));
  if (visible.isEmpty()) return {};

  for (int y = visible.top(); y <= visible.bottom(); ++y) {
    const QRgb* src = placement.row(y) + (visible.left() - placement.area.left());
    QRgb* const row = image.row(y);
    blendRow(row + visible.left(), src, visible.width());
  }
  return visible;
}

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

void CircleRasterizer::findSpriteRuns(const BatchCircle& circle, double r, const CircleStyle& style,
                                      const QRect& area, std::size_t index) {
  // Without a sprite, a circle this small lies outside every image.
  if (!placeable(circle.cx, circle.cy, r)) return;
  const Placement placement = place(circle.cx, circle.cy, setFor(r, style));
  const QRect& at = placement.area;
  const int top = std::max(at.top(), area.top());
  const int bottom = std::min(at.bottom(), area.bottom());
  if (top > bottom || at.left() > area.right() || at.right() < area.left()) return;
  const std::size_t firstRun = runs_.size();
  const RowSpan* const rows = placement.sprite->rows.data();
  for (int y = top; y <= bottom; ++y) {
    const RowSpan& span = rows[y - at.top()];
    const int first = std::max(at.left() + span.first, area.left());
    const int last = std::min(at.left() + span.last, area.right());
    if (first > last) continue;
    const int band = y - area.top();
    coverage_.forUncovered(band, first, last, [&](int from, int to) {
      runs_.push_back({static_cast<std::int16_t>(y), static_cast<std::int16_t>(from),
                       static_cast<std::int16_t>(to)});
    });
    coverage_.cover(band, std::max(at.left() + span.opaqueFirst, area.left()),
                    std::min(at.left() + span.opaqueLast, area.right()));
  }
  if (runs_.size() == firstRun) return;
  visible_.push_back({index, firstRun, runs_.size(), placement.sprite->pixels.data(), rows,
                      at.topLeft(), placement.stride});
}

void CircleRasterizer::findBandRuns(const BatchCircle& circle, double r, const CircleStyle& style,
                                    const QRect& area, std::size_t index) {
  if (!std::isfinite(circle.cx) || !std::isfinite(circle.cy)) return;
  const std::size_t firstRun = runs_.size();
  const auto band = [&](int y, int first, int last, int opaqueFirst, int opaqueLast) {
    const int number = (y - area.top()) / kBandRows;
    coverage_.forUncovered(number, first, last, [&](int from, int to) {
      runs_.push_back({static_cast<std::int16_t>(y), static_cast<std::int16_t>(from),
                       static_cast<std::int16_t>(to)});
    });
    coverage_.cover(number, opaqueFirst, opaqueLast);
  };
  if (std::isinf(r)) {
    // Covers the whole area with the fill, or draws nothing.
    if (!style.filled) return;
    for (int y = area.top(); y <= area.bottom(); y += kBandRows) {
      band(y, area.left(), area.right(), area.left(), area.right());
    }
  } else {
    // The same bounds as rasterCircle() finds row by row: a band's pixels reach as far as its
    // row nearest the centre reaches, and its fill covers, in every row, what it covers in the
    // row farthest from the centre.
    const double cx = circle.cx;
    const double cy = circle.cy;
    const double reach = r + style.penWidth / 2.0 + 0.5;
    const double solid = r - style.penWidth / 2.0 - 0.5;
    const double width = area.right() + 1;
    const auto pixelOf = [](double v, double limit) {
      return static_cast<int>(std::clamp(std::floor(v), -1.0, limit));
    };
    const auto pixelAbove = [](double v, double limit) {
      return static_cast<int>(std::clamp(std::ceil(v), -1.0, limit));
    };
    const int top = std::max(area.top(), pixelOf(cy - reach, area.bottom() + 1.0));
    const int bottom = std::min(area.bottom(), pixelOf(cy + reach, area.bottom() + 1.0));
    // Bands start at area.top() and every kBandRows rows after it.
    for (int y = area.top() + (std::max(top, area.top()) - area.top()) / kBandRows * kBandRows;
         y <= bottom; y += kBandRows) {
      const int last = std::min(y + kBandRows - 1, area.bottom());
      const double dyTop = y + 0.5 - cy;
      const double dyBottom = last + 0.5 - cy;
      const double nearest = dyTop > 0 ? dyTop : (dyBottom < 0 ? -dyBottom : 0.0);
      const double farthest = std::max(std::abs(dyTop), std::abs(dyBottom));
      if (nearest * nearest > reach * reach) continue;
      const double span = std::sqrt(reach * reach - nearest * nearest);
      const int first = std::max(area.left(), pixelOf(cx - span - 0.5, width));
      const int end = std::min(area.right(), pixelOf(cx + span - 0.5, width) + 1);
      int opaqueFirst = 0;
      int opaqueLast = -1;
      if (style.filled && solid > 0.0 && solid * solid > farthest * farthest && y >= top &&
          last <= bottom) {
        const double fullSpan = std::sqrt(solid * solid - farthest * farthest);
        opaqueFirst = std::max(area.left(), pixelAbove(cx - fullSpan - 0.5, width));
        opaqueLast = std::min(end, pixelOf(cx + fullSpan - 0.5, width));
      }
      if (first <= end) band(y, first, end, opaqueFirst, opaqueLast);
    }
  }
  if (runs_.size() == firstRun) return;
  visible_.push_back({index, firstRun, runs_.size(), nullptr, nullptr, {}, 0});
}

void CircleRasterizer::drawSpriteRuns(const ImageView& image, const Visible& visible,
                                      std::span<const Run> runs) {
  for (const Run& run : runs) {
    const int v = run.y - visible.origin.y();
    const RowSpan& span = visible.rows[v];
    const int left = visible.origin.x();
    // The run's pixels of the sprite and of the image, from the run's first column.
    const QRgb* const src =
        visible.pixels + static_cast<std::size_t>(v) * visible.stride + (run.first - left);
    QRgb* const dst = image.row(run.y) + run.first;
    const int count = run.last - run.first + 1;
    // The opaque middle is copied as it is; only the edges are blended.
    int opaqueFirst = std::max(0, left + span.opaqueFirst - run.first);
    const int opaqueEnd = std::min(count, left + span.opaqueLast + 1 - run.first);
    if (opaqueFirst >= opaqueEnd) opaqueFirst = count;
    blendRow(dst, src, opaqueFirst);
    if (opaqueFirst == count) continue;
    std::copy(src + opaqueFirst, src + opaqueEnd, dst + opaqueFirst);
    blendRow(dst + opaqueEnd, src + opaqueEnd, count - opaqueEnd);
  }
}

void CircleRasterizer::releaseBatchMemory() {
  // What a batch of small circles takes is kept for the next one: the animation draws many a
  // second. The runs of a batch of large circles can take tens of megabytes.
  constexpr std::size_t kKeptBytes = 4 << 20;
  if (runs_.capacity() * sizeof(Run) + visible_.capacity() * sizeof(Visible) <= kKeptBytes) return;
  runs_ = {};
  visible_ = {};
  coverage_ = {};
}

void CircleRasterizer::drawBatch(const ImageView& image, std::span<const BatchCircle> circles,
                                 double r, CircleStyle style, const QRect& clip, Damage& drawn) {
  const QRect area = clip & image.rect();
  if (area.isEmpty() || circles.empty() || !(r > 0.0)) return;
  // Below this radius (device pixels) looking for what is hidden costs more than blending the
  // few pixels of each sprite: measured with the redraw benchmark, it pays from about 6 up.
  constexpr double kHiddenPaysFrom = 6;
  if (r < kHiddenPaysFrom || area.right() > kMostSide || area.bottom() > kMostSide) {
    drawInOrder(image, circles, r, style, area, drawn);
    return;
  }
  const bool sprites = r <= kMaxRadius;
  const int bandRows = sprites ? 1 : kBandRows;
  coverage_.reset(area.right() + 1, (area.height() + bandRows - 1) / bandRows);
  runs_.clear();
  visible_.clear();
  const std::size_t dropped = droppedSets_;
  for (std::size_t k = circles.size(); k-- > 0;) {
    style.fill = circles[k].fill;
    if (sprites) {
      findSpriteRuns(circles[k], r, style, area, k);
    } else {
      findBandRuns(circles[k], r, style, area, k);
    }
  }
  if (droppedSets_ != dropped) {
    // More fills than sprite sets kept: some sprites found are gone. Every circle in order.
    drawInOrder(image, circles, r, style, area, drawn);
    return;
  }
  for (auto it = visible_.rbegin(); it != visible_.rend(); ++it) {
    const std::span<const Run> runs(runs_.data() + it->firstRun, it->endRun - it->firstRun);
    QRect touched;
    if (it->pixels) {
      drawSpriteRuns(image, *it, runs);
      for (const Run& run : runs) touched |= QRect(run.first, run.y, run.last - run.first + 1, 1);
    } else {
      const BatchCircle& circle = circles[it->circle];
      style.fill = circle.fill;
      for (const Run& run : runs) {
        const QRect band(QPoint(run.first, run.y),
                         QPoint(run.last, std::min(run.y + kBandRows - 1, area.bottom())));
        touched |= rasterCircle(image, circle.cx, circle.cy, r, style, band);
      }
    }
    drawn.add(touched);
  }
}

}  // namespace platform
