// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/backingstore.h"

#include <QPaintEngine>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace platform {

bool copyOpaquePixels(QImage& target, QPoint at, const QImage& source, const QRect& from) {
  switch (target.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
      break;
    default:
      return false;
  }
  if (source.format() != QImage::Format_RGB32) return false;
  // Only what lies on both images.
  const QRect onTarget = QRect(at, from.size()) & target.rect();
  const QRect read = QRect(from.topLeft() + (onTarget.topLeft() - at), onTarget.size());
  if (onTarget.isEmpty() || !source.rect().contains(read)) return true;
  uchar* const targetBits = target.bits() + onTarget.top() * target.bytesPerLine();
  const uchar* const sourceBits = source.constBits() + read.top() * source.bytesPerLine();
  for (int row = 0; row < onTarget.height(); ++row) {
    std::memcpy(targetBits + row * target.bytesPerLine() + onTarget.left() * 4,
                sourceBits + row * source.bytesPerLine() + read.left() * 4,
                static_cast<std::size_t>(onTarget.width()) * 4);
  }
  return true;
}

void copyToPainter(QPainter& painter, QPoint at, const QImage& source, const QRect& from) {
  QPaintDevice* const target = painter.paintEngine()->paintDevice();
  const QTransform toTarget = painter.deviceTransform();
  const bool straight = target && target->devType() == QInternal::Image &&
                        toTarget.type() <= QTransform::TxTranslate &&
                        toTarget.dx() == std::floor(toTarget.dx()) &&
                        toTarget.dy() == std::floor(toTarget.dy());
  const QPoint offset(static_cast<int>(toTarget.dx()), static_cast<int>(toTarget.dy()));
  if (!straight || !copyOpaquePixels(*static_cast<QImage*>(target), at + offset, source, from)) {
    painter.drawImage(at, source, from);
  }
}

}  // namespace platform
