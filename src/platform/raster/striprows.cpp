// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/striprows.h"

#include "runtime/processor.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

#if defined(QUIRLBILD_AVX2)
#include <immintrin.h>
#endif

namespace platform {

UserRows userRowsOf(double top, double perUnit, double above, double below) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (!(perUnit > 0) && !(perUnit < 0)) return {-kInfinity, kInfinity};
  // Each step of the row's formula rounds monotonically, so the row grows with y for a positive
  // perUnit and falls for a negative one: once a y's row lies before [above, below] (or past
  // it), so do the rows of all y below (above) it.
  const bool rising = perUnit > 0;
  const auto row = [&](float y) { return (double{y} - top) * perUnit; };
  const auto belowAll = [&](float y) { return rising ? row(y) < above : row(y) > below; };
  const auto aboveAll = [&](float y) { return rising ? row(y) > below : row(y) < above; };
  // From the nearest float to where the rows begin and end, a step or two out.
  constexpr int kMostSteps = 16;
  float first = static_cast<float>(top + (rising ? above : below) / perUnit);
  float last = static_cast<float>(top + (rising ? below : above) / perUnit);
  UserRows rows{-kInfinity, kInfinity};
  for (int step = 0; step < kMostSteps; ++step, first = std::nextafter(first, -kInfinity)) {
    if (belowAll(first)) {
      rows.lowest = std::nextafter(first, kInfinity);
      break;
    }
  }
  for (int step = 0; step < kMostSteps; ++step, last = std::nextafter(last, kInfinity)) {
    if (aboveAll(last)) {
      rows.highest = std::nextafter(last, -kInfinity);
      break;
    }
  }
  return rows;
}

namespace {

// The discs from number `from` on, one at a time, their numbers appended to the `count` in `out`;
// returns the new count.
std::size_t appendInRows(std::span<const Disc> discs, std::size_t from, UserRows rows,
                         std::uint32_t* out, std::size_t count) {
  for (std::size_t i = from; i < discs.size(); ++i) {
    const float y = discs[i].y;
    // Written every time and kept by the count: no branch to mispredict on discs that fall on
    // the strip and off it in no order.
    out[count] = static_cast<std::uint32_t>(i);
    count += !(y < rows.lowest || y > rows.highest);
  }
  return count;
}

}  // namespace

std::size_t discsInRowsPortably(std::span<const Disc> discs, UserRows rows, std::uint32_t* out) {
  return appendInRows(discs, 0, rows, out, 0);
}

#if defined(QUIRLBILD_AVX2)

namespace {

static_assert(sizeof(Disc) == 12 && offsetof(Disc, y) == 4);

// For each mask of eight lanes, the numbers of its set lanes, first to last, three bits each.
constexpr std::array<std::uint32_t, 256> kSetLanes = [] {
  std::array<std::uint32_t, 256> lanes{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned at = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if (mask >> lane & 1) lanes[mask] |= lane << (3 * at++);
    }
  }
  return lanes;
}();

[[gnu::target("avx2")]] std::size_t inRowsWithAvx2(std::span<const Disc> discs, UserRows rows,
                                                   std::uint32_t* out) {
  const __m256 lowest = _mm256_set1_ps(rows.lowest);
  const __m256 highest = _mm256_set1_ps(rows.highest);
  const __m256i shifts = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
  const __m256i seven = _mm256_set1_epi32(7);
  std::size_t count = 0;
  std::size_t i = 0;
  for (; i + 8 <= discs.size(); i += 8) {
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
    const unsigned kept = ~static_cast<unsigned>(_mm256_movemask_ps(off)) & 0xFF;
    // The kept discs' numbers moved to the front and stored whole: what lies past them is
    // written over next time.
    const __m256i lanes = _mm256_and_si256(
        _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(kSetLanes[kept])), shifts), seven);
    const __m256i numbers = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(i)),
                                             _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + count),
                        _mm256_permutevar8x32_epi32(numbers, lanes));
    count += static_cast<std::size_t>(__builtin_popcount(kept));
  }
  return appendInRows(discs, i, rows, out, count);
}

}  // namespace
#endif

bool discsInRowsWithAvx2(std::span<const Disc> discs, UserRows rows, std::uint32_t* out,
                         std::size_t& count) {
#if defined(QUIRLBILD_AVX2)
  if (!useAvx2()) return false;
  count = inRowsWithAvx2(discs, rows, out);
  return true;
#else
  (void)discs;
  (void)rows;
  (void)out;
  (void)count;
  return false;
#endif
}

std::size_t discsInRows(std::span<const Disc> discs, UserRows rows, std::uint32_t* out) {
  std::size_t count = 0;
  if (!discsInRowsWithAvx2(discs, rows, out, count)) count = discsInRowsPortably(discs, rows, out);
  return count;
}

}  // namespace platform
