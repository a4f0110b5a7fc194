// SPDX-License-Identifier: GPL-3.0-or-later
// Which pixels of an area are already decided: one bit a pixel column for each band of rows. A
// batch of circles is looked at from its last circle back, and a pixel that a later circle paints
// opaquely is decided, whatever an earlier circle would have put there.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace platform {

class Coverage {
 public:
  // Bands 0 to bands - 1, columns 0 to width - 1, none covered.
  void reset(int width, int bands) {
    words_ = (width + 63) / 64;
    bits_.assign(static_cast<std::size_t>(words_) * bands, 0);
  }

  // Calls report(first, last) for every run of columns in [first, last] of `band` not covered, left
  // to right.
  template <class Report>
  void forUncovered(int band, int first, int last, Report&& report) const {
    const std::uint64_t* const row = rowOf(band);
    for (int x = first; x <= last;) {
      x = nextWith(row, x, last, true);
      if (x > last) return;
      const int end = nextWith(row, x, last, false);
      report(x, end - 1);
      x = end;
    }
  }

  // Whether every column in [first, last] of `band` is covered.
  bool covered(int band, int first, int last) const {
    return nextWith(rowOf(band), first, last, true) > last;
  }

  // Marks the columns [first, last] of `band` covered.
  void cover(int band, int first, int last) {
    if (first > last) return;
    std::uint64_t* const row = bits_.data() + static_cast<std::size_t>(band) * words_;
    const int firstWord = first >> 6;
    const int lastWord = last >> 6;
    const std::uint64_t head = ~std::uint64_t{0} << (first & 63);
    const std::uint64_t tail = ~std::uint64_t{0} >> (63 - (last & 63));
    if (firstWord == lastWord) {
      row[firstWord] |= head & tail;
      return;
    }
    row[firstWord] |= head;
    for (int w = firstWord + 1; w < lastWord; ++w) row[w] = ~std::uint64_t{0};
    row[lastWord] |= tail;
  }

 private:
  const std::uint64_t* rowOf(int band) const {
    return bits_.data() + static_cast<std::size_t>(band) * words_;
  }

  // The first column from x to last that is uncovered (or covered), or last + 1.
  static int nextWith(const std::uint64_t* row, int x, int last, bool uncovered) {
    const std::uint64_t flip = uncovered ? ~std::uint64_t{0} : 0;
    int word = x >> 6;
    std::uint64_t bits = (row[word] ^ flip) & (~std::uint64_t{0} << (x & 63));
    const int lastWord = last >> 6;
    while (bits == 0) {
      if (++word > lastWord) return last + 1;
      bits = row[word] ^ flip;
    }
    const int found = (word << 6) + std::countr_zero(bits);
    return found <= last ? found : last + 1;
  }

  int words_ = 0;  // a band's words of 64 columns
  std::vector<std::uint64_t> bits_;
};

}  // namespace platform
