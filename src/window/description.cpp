// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/description.h"

#include "window/layout.h"

#include <QLocale>

#include <cmath>

namespace window {

namespace {

// Plain digits with a decimal comma and as few of them as say the value exactly; an exponent only
// for the very large and the very small, which a screen reader cannot read out otherwise.
QString germanNumber(double value, int decimals = QLocale::FloatingPointShortest) {
  static const QLocale german(QLocale::German, QLocale::Germany);
  const double size = std::abs(value);
  const bool plain = size == 0 || (size >= 1e-6 && size < 1e15);
  // Past 15 digits a product such as 3 * 1e30 shows its rounding (3,0000000000000003E+30), which
  // says nothing to a listener.
  constexpr int kDigitsThatMean = 15;
  return plain ? german.toString(value, 'f', decimals)
               : german.toString(value, 'g', kDigitsThatMean);
}

QString colourName(platform::OleColor color) {
  for (const ControlDef& def : kControls) {
    if (def.kind == Kind::Swatch && def.backColor == color) {
      return QString::fromUtf8(def.accessibleName).section(u' ', 1);
    }
  }
  return QStringLiteral("#%1").arg(color, 6, 16, QLatin1Char('0'));
}

}  // namespace

QString describePicture(const pattern::ParameterSet& parameters, platform::OleColor background,
                        bool empty, bool complete) {
  const QString backgroundText = QStringLiteral("Hintergrund ") + colourName(background);
  if (empty) return QStringLiteral("Leer, ") + backgroundText;
  const QString drawn =
      QStringLiteral("%1 Punkte in drei Farben, Winkel %2°, Größe %3, Radiuszunahme %4, %5")
          .arg(germanNumber(parameters.PointTotal), germanNumber(parameters.DivergenceAngle, 2),
               germanNumber(parameters.PointSize), germanNumber(parameters.RadiusStep),
               backgroundText);
  return complete ? drawn : QStringLiteral("Unvollständig: ") + drawn;
}

}  // namespace window
