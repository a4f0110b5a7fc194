// SPDX-License-Identifier: GPL-3.0-or-later
// The opaque image that the screen shows of a drawing layer: the back colour with the layer over
// it, brought up to date only in the tiles where the layer changed. Device pixels of the layer.
#pragma once

#include "raster/damage.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

namespace platform {

// What the screen shows of `count` pixels of a layer with `back` under it: premultiplied
// source-over onto an opaque colour, opaque, without branches or lookups, so that the compiler
// can do several pixels at once.
void composeRow(const QRgb* layer, QRgb back, QRgb* out, int count);

class ScreenImage {
 public:
  // Side of the square tiles in which changes are tracked, in device pixels.
  static constexpr int kTile = 8;
  // Clean tiles between two changed ones in a row that are taken into one rectangle.
  static constexpr int kGapTiles = 4;

  // A new, not yet composed image of `devicePixels`.
  void resize(QSize devicePixels);
  const QImage& image() const { return image_; }

  // Brings the image up to date where `changes` says `layer` changed, with `back` under it, and
  // returns the rectangles composed: one per run of changed tiles in a row of tiles (short gaps
  // included), top to bottom, never overlapping. The vector is reused.
  const std::vector<QRect>& compose(const QImage& layer, QRgb back, const Damage& changes);

 private:
  int tilesX() const { return (image_.width() + kTile - 1) / kTile; }
  int tilesY() const { return (image_.height() + kTile - 1) / kTile; }
  // Flags the tiles of a rectangle within the image.
  void markTiles(const QRect& clipped);
  // Brings the pixels of tiles firstTile to endTile - 1 of a tile row up to date.
  void composeTiles(const QImage& layer, QRgb back, int tileRow, int firstTile, int endTile);

  QImage image_;                     // opaque
  std::vector<std::uint8_t> dirty_;  // one flag a tile, row by row
  std::vector<QRect> composed_;
};

}  // namespace platform
