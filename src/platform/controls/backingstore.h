// SPDX-License-Identifier: GPL-3.0-or-later
// The straight road of a picture into the window's backing store: a copy of its pixels where the
// painter writes into an image at whole device pixels, QPainter's drawing everywhere else.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

class QPainter;

namespace platform {

// Copies the rectangle `from` of `source`, an opaque RGB32 image, to `at` on `target`, pixel for
// pixel, when `target` keeps its pixels as the same 0xAARRGGBB words: RGB32, ARGB32 and
// ARGB32_Premultiplied, in which an opaque pixel is the same word. Returns false, having done
// nothing, for any other format, which a QPainter converts.
bool copyOpaquePixels(QImage& target, QPoint at, const QImage& source, const QRect& from);

// Puts the rectangle `from` of `source` (opaque RGB32) at `at` in the painter's coordinates,
// which are device pixels. Where the painter writes into an image (the window's backing store)
// at whole device pixels, the pixels are copied straight into it: QPainter's per-call cost and
// its worker threads for large blits would cost more than the copies themselves.
void copyToPainter(QPainter& painter, QPoint at, const QImage& source, const QRect& from);

}  // namespace platform
