// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern drawn the straightforward way: every circle with QPainter's antialiased
// drawEllipse and a 1-pixel pen, no culling. The yardstick for the picture box's own drawing.
#pragma once

#include "pattern/renderer.h"
#include "support/every_circle.h"

#include <QImage>
#include <QPainter>

#include <cmath>

// Draws onto `image` (transparent at first) scaled -100 .. 100 on both axes, as the drawing
// surface is.
inline void drawReferencePattern(const pattern::ParameterSet& p, QImage& image) {
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1.0));
  const double perUnit = image.width() / 200.0;
  const double radius = static_cast<float>(p.PointSize / 5) * perUnit;
  if (!(radius > 0)) return;
  const double total = p.PointTotal;
  const double bounds[4] = {1, total / 3, (2 * total) / 3, (3 * total) / 3};
  for (int band = 0; band < 3; ++band) {
    const platform::OleColor c = pattern::kBandColors[band];
    painter.setBrush(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    for (double i = bounds[band]; i <= bounds[band + 1]; i += 1) {
      const QPointF pos = reference::positionOf(i, p.DivergenceAngle, p.RadiusStep);
      const QPointF centre((static_cast<float>(pos.x()) + 100) * perUnit,
                           (static_cast<float>(pos.y()) + 100) * perUnit);
      painter.drawEllipse(centre, radius, radius);
    }
  }
}
