// SPDX-License-Identifier: GPL-3.0-or-later
// The picture as a file: the surface as it shows, a poster drawn afresh at a chosen size, and
// the pattern as vector circles.
#pragma once

#include "pattern/renderer.h"
#include "picturefile/atomicfile.h"
#include "raster/canvas.h"

#include <QImage>
#include <QString>

#include <optional>

namespace picturefile {

// The largest side of a poster, in pixels: a picture of a gigabyte.
inline constexpr int kMostPosterSide = 16384;
inline constexpr int kDefaultPosterSide = 4096;

// The pattern for `parameters` drawn afresh on a blank canvas of `side` x `side` pixels like
// `surface` (its user scale, background and style), as a screen of that density would show the
// surface: the circles' outlines as wide as one of the surface's pixels, scaled; drawn as `options`
// say. Throws platform::Interrupted when the monitor stops it; a drawing that ends in a runtime
// error gives the picture drawn up to it, as the surface shows it, and its number in `error`. A
// null image when the memory for it cannot be had.
QImage drawPoster(const pattern::ParameterSet& parameters, const platform::Canvas& surface,
                  int side, const pattern::DrawOptions& options,
                  std::optional<platform::RuntimeError::Number>* error = nullptr);

// The pattern for `parameters` on `surface` as SVG of `side` x `side` pixels: the background
// and, in drawing order, the circles the renderer draws, no others. Sketch dots are not in it.
// The monitor hears of progress between groups of circles and may cancel. The runtime error the
// drawing ends in, after those circles, goes to `error`.
WriterResult writeSvg(QIODevice& out, const pattern::ParameterSet& parameters,
                      const platform::Canvas& surface, int side, pattern::DrawMonitor* monitor,
                      std::optional<platform::RuntimeError::Number>* error = nullptr);

// Seconds spent drawing the bands and packing them, which overlap; for the benchmark.
struct PosterWork {
  double drawSeconds = 0;
  double packSeconds = 0;
};

struct PosterOptions {
  pattern::DrawMonitor* monitor = nullptr;  // hears of the whole job's progress; may cancel
  int strips = 0;                           // as in pattern::DrawOptions
  int bandRows = 0;            // rows drawn and packed at a time; 0 for about kBandBytes of pixels
  PosterWork* work = nullptr;  // told how long the drawing and the packing took
};
// Every band draws the positions of all the circles again, so bands are as large as memory
// allows: two of them (measured with make bench: a 16384 poster of six million points in 60 % of
// the time it takes in bands of a quarter of this) stay well inside 300 MB.
inline constexpr int kBandBytes = 64 << 20;

// The poster of drawPoster(), the same pixels, written as PNG band by band: a band of rows is
// drawn while the band before it is packed on a thread of its own, so that memory holds two
// bands, not the poster. The monitor hears of the whole job, drawing and packing, and may cancel
// at any moment of it, between two rows. The runtime error the drawing ends in goes to `error`.
WriterResult writePngPoster(QIODevice& out, const pattern::ParameterSet& parameters,
                            const platform::Canvas& surface, int side, const PosterOptions& options,
                            std::optional<platform::RuntimeError::Number>* error = nullptr);

// The size in pixels of a poster of `side` pixels across of `surface`.
QSize posterSize(const platform::Canvas& surface, int side);

// Writes `image` as PNG, as the screen shows it: a picture the size of the surface, written at
// once.
WriterResult writePng(QIODevice& out, const QImage& image);

// A file name for the picture of `parameters`, such as "Quirlbild 137,50° 200.png": the angle in
// degrees with two decimals and the number of row 0, in German notation.
QString proposedName(const pattern::ParameterSet& parameters, const QString& suffix);

}  // namespace picturefile
