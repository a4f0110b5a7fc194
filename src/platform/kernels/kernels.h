// SPDX-License-Identifier: GPL-3.0-or-later
// The redraw's hot kernels, as one table of function pointers: the points' positions, which
// discs fall on a strip's rows, four circles' sprites placed at once, and the blending. One row
// is plain C++ and runs everywhere; another is built for AVX2 and runs where the processor has
// it. The table is filled once, from what the processor offers; QUIRLBILD_NO_AVX2 in the
// environment picks the portable row on any processor, to measure and test it there.
#pragma once

#include "surface/surface.h"

#include <QRgb>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Points whose discs one call of the positions kernel makes at most.
constexpr int kBlockPoints = 64;

// One block of points for the positions kernel.
struct PositionBlock {
  alignas(32) double index[kBlockPoints];       // point numbers i; all kBlockPoints are set
  alignas(32) double cosSin[2 * kBlockPoints];  // work space: each angle's cosine, then sine
  int unsure[kBlockPoints];  // the points the kernel left to the formula, by place in the block
};

// User y values [lowest, highest] outside which a centre's device row lies outside a strip.
struct UserRows {
  float lowest;
  float highest;
};

// A sprite's rows to blend onto an image: `rows` rows of `columns` pixels, from `src` (rows
// `srcStride` pixels apart) onto `dst` (rows of the image's stride apart). Up to `reach` pixels
// of each row may be blended, those past `columns` being transparent: blending them leaves the
// image as it is, and a whole step of eight pixels costs less than a masked one.
struct Blit {
  QRgb* dst;
  const QRgb* src;
  int rows;
  int columns;
  int srcStride;
  int reach;
};

// One circle of a batch that shares a radius and all of its style but the fill: its centre in
// device pixels and its fill.
struct BatchCircle {
  double cx;
  double cy;
  QRgb fill;
};

// Where one sprite's pixels lie, from (left, top) relative to the pixel that holds the circle's
// centre, and the pixels themselves, whose rows are `stride` apart, padded with transparent
// pixels to a multiple of eight, so that a row can be blended eight pixels at a time without a
// mask. Packed small, so that a batch's layouts stay in the nearest cache while the image's rows
// stream through it.
struct SpriteLayout {
  const QRgb* pixels = nullptr;
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t width = -1;  // -1 until the sprite is rendered
  std::int16_t height = 0;
  std::int16_t stride = 0;
};

// Sub-pixel positions per axis of the sprites that the placement kernel places.
constexpr int kPlacedSteps = 8;
// Centres farther out than this (device pixels) are never placed from a sprite: they lie outside
// every image, and their sprite positions would not fit the integers.
constexpr double kMostPlacedCentre = 1e9;

// What the placement kernel compares with and adds, in lanes of four x values and four y values:
// the area's first pixel and its end (past the last); and the image's stride (pixels) and the
// address row 0 of the image would have.
struct BlitTarget {
  alignas(32) std::int32_t first[8];
  alignas(32) std::int32_t end[8];
  int stride;
  std::intptr_t origin;

  // The area of columns [firstColumn, endColumn) and rows [firstRow, endRow).
  static BlitTarget of(int firstColumn, int firstRow, int endColumn, int endRow, int stride,
                       std::intptr_t origin);
};

struct Kernels {
  const char* name;

  // The discs of the first `count` points of `block` (count <= kBlockPoints), at the formula's
  // position to single precision and of colour `fill`. The points whose float it cannot be sure
  // of it lists in block.unsure and returns how many; their discs have the fill but no position.
  int (*positions)(PositionBlock& block, int count, double divergenceAngle, double radiusStep,
                   OleColor fill, Disc* out);

  // Writes to `out` the numbers of the discs whose y lies in `rows` or is not a number, in order,
  // and returns how many; `out` holds `count` numbers.
  std::size_t (*discsInRows)(const Disc* discs, std::size_t count, UserRows rows,
                             std::uint32_t* out);

  // The blits of four circles drawn from `layouts` (the kPlacedSteps² sprites of one radius and
  // style, of fill `fill`; rows of up to sixteen pixels) whose columns lie wholly inside the
  // target's area with each row's padding, their rows cut to the area's, in `out`, and the first
  // pixel each draws, as four columns and then four rows, in `corners`. Returns a bit for each
  // circle placed (bits 0 to 3), and one for each that lies wholly outside the area and draws
  // nothing (bits 4 to 7); the others are left to the caller. The target's offsets must fit 32
  // bits.
  int (*placeFour)(const BatchCircle* circles, const SpriteLayout* layouts, QRgb fill,
                   const BlitTarget& target, Blit* out, std::int32_t* corners);

  // Blends each blit's rows in order, each pixel as blendOver() does; image rows are `dstStride`
  // pixels apart.
  void (*blitAll)(const Blit* blits, std::size_t count, qsizetype dstStride);
};

// The row for this processor, chosen when first asked.
const Kernels& kernels();
// Every row this build and processor can run, the portable one first, whatever the environment
// says: for the tests, which hold them against each other.
std::vector<const Kernels*> availableKernels();

}  // namespace platform
