// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/screenimage.h"

#include "raster/raster.h"

#include <algorithm>

namespace platform {

void composeRow(const QRgb* layer, QRgb back, QRgb* out, int count) {
  for (int x = 0; x < count; ++x) {
    out[x] = (layer[x] + byteMul(back, 255 - (layer[x] >> 24))) | 0xFF000000;
  }
}

void ScreenImage::resize(QSize devicePixels) {
  image_ = QImage(devicePixels, QImage::Format_RGB32);
  dirty_.assign(static_cast<std::size_t>(tilesX()) * tilesY(), 0);
}

void ScreenImage::markTiles(const QRect& clipped) {
  for (int ty = clipped.top() / kTile; ty <= clipped.bottom() / kTile; ++ty) {
    std::uint8_t* row = dirty_.data() + static_cast<std::size_t>(ty) * tilesX();
    std::fill(row + clipped.left() / kTile, row + clipped.right() / kTile + 1, std::uint8_t{1});
  }
}

void ScreenImage::composeTiles(const QImage& layer, QRgb back, int tileRow, int firstTile,
                               int endTile) {
  const QRect area(QPoint(firstTile * kTile, tileRow * kTile),
                   QPoint(std::min(endTile * kTile, image_.width()) - 1,
                          std::min((tileRow + 1) * kTile, image_.height()) - 1));
  const uchar* const layerBits = layer.constBits();
  uchar* const screenBits = image_.bits();
  const qsizetype layerStride = layer.bytesPerLine();
  const qsizetype screenStride = image_.bytesPerLine();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(layerBits + y * layerStride) + area.left();
    auto* dst = reinterpret_cast<QRgb*>(screenBits + y * screenStride) + area.left();
    composeRow(src, back, dst, area.width());
  }
}

const std::vector<QRect>& ScreenImage::compose(const QImage& layer, QRgb back,
                                               const Damage& changes) {
  composed_.clear();
  if (changes.empty() || layer.size() != image_.size()) return composed_;
  // Tiles are marked here rather than with every circle, which keeps drawing lean.
  if (changes.all()) {
    std::fill(dirty_.begin(), dirty_.end(), std::uint8_t{1});
  } else {
    for (const QRect& rect : changes.rects()) {
      const QRect clipped = rect & image_.rect();
      if (!clipped.isEmpty()) markTiles(clipped);
    }
  }
  const int width = image_.width();
  const int height = image_.height();
  const int tilesAcross = tilesX();
  for (int ty = 0; ty < tilesY(); ++ty) {
    std::uint8_t* tiles = dirty_.data() + static_cast<std::size_t>(ty) * tilesAcross;
    for (int tx = 0; tx < tilesAcross;) {
      if (!tiles[tx]) {
        ++tx;
        continue;
      }
      // One rectangle for a run of changed tiles, taking in gaps of up to kGapTiles clean ones:
      // a few more pixels copied to the screen cost less than another rectangle. Only the
      // changed tiles are composed.
      int lastDirty = tx;
      for (int x = tx; x < tilesAcross && x - lastDirty <= kGapTiles; ++x) {
        if (!tiles[x]) continue;
        int runEnd = x;
        while (runEnd < tilesAcross && tiles[runEnd]) tiles[runEnd++] = 0;
        composeTiles(layer, back, ty, x, runEnd);
        lastDirty = runEnd - 1;
        x = runEnd - 1;
      }
      const int end = lastDirty + 1;
      composed_.emplace_back(
          QPoint(tx * kTile, ty * kTile),
          QPoint(std::min(end * kTile, width) - 1, std::min((ty + 1) * kTile, height) - 1));
      tx = end;
    }
  }
  return composed_;
}

}  // namespace platform
