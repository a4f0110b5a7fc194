// SPDX-License-Identifier: GPL-3.0-or-later
// For tests of the real program on a private X display: the controls' places, clicks and keys
// through the window system, and what the drawing surface should show.
#pragma once

#include "controls/picturebox.h"
#include "pattern/renderer.h"
#include "window/layout.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace realwindow {

// Centre of a control of the window definition, in window pixels.
inline QPoint centreOf(const char* name, int index = -1) {
  for (const window::ControlDef& def : window::kControls) {
    if (std::strcmp(def.name, name) == 0 && def.index == index) {
      return window::toPixels(def.place).center();
    }
  }
  ADD_FAILURE() << "no control " << name;
  return {};
}

// Picture1's inner area in window pixels (inside its 2-pixel border).
inline QRect surfaceRect() {
  return window::toPixels(window::kControls[0].place).adjusted(2, 2, -2, -2);
}

inline int run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(15000)) return -1;
  if (output) *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
  return process.exitCode();
}

inline void xdotool(const QStringList& arguments) {
  EXPECT_EQ(run(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
}

// Whether a window with exactly this title is shown, waiting up to `seconds` for it.
inline bool windowShown(const QString& title, int seconds = 10) {
  return run(QStringLiteral("timeout"), {QString::number(seconds), "xdotool", "search", "--sync",
                                         "--onlyvisible", "--name", "^" + title + "$"}) == 0;
}

// Screen pixels of the whole display, in its own device pixels.
inline QImage screenPixels(const QRect& deviceRect) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, deviceRect.x(), deviceRect.y(), deviceRect.width(), deviceRect.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

inline void click(QPoint p) {
  xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

// The right arrow of row `row`'s scroll bar.
inline QPoint rightArrowOf(int row) {
  const QRect bar = window::toPixels(
      std::find_if(window::kControls.begin(), window::kControls.end(),
                   [row](const window::ControlDef& def) {
                     return def.kind == window::Kind::ScrollBar && def.index == row;
                   })
          ->place);
  return {bar.right() - 6, bar.center().y()};
}

// What the drawing surface should show: the pattern for `p` on `background`.
inline QImage expectedSurface(const pattern::ParameterSet& p, platform::OleColor background) {
  platform::PictureBox box(platform::PictureBox::Border::Sunken3D);
  box.place(window::toPixels(window::kControls[0].place));
  platform::Canvas& canvas = box.canvas();
  canvas.Scale(-100, -100, 100, 100);
  canvas.setFillSolid(true);
  pattern::drawPattern(p, canvas);
  QImage shown(surfaceRect().size(), QImage::Format_RGB32);
  shown.fill(platform::toQColor(background));
  QPainter painter(&shown);
  QImage drawing = box.drawing();
  drawing.setDevicePixelRatio(1);
  painter.drawImage(0, 0, drawing);
  return shown;
}

// Share of surface pixels that differ clearly, leaving out the swatch strip in the top-left.
inline double differingShare(const QImage& shown, const QImage& expected, int step = 1) {
  const QRect swatches(0, 0, 2 + 7 * 25 + 2, 28);
  int differing = 0;
  int counted = 0;
  for (int y = 0; y < expected.height(); y += step) {
    for (int x = 0; x < expected.width(); x += step) {
      if (swatches.contains(x, y)) continue;
      const QRgb a = shown.pixel(x, y);
      const QRgb b = expected.pixel(x, y);
      ++counted;
      differing += std::abs(qRed(a) - qRed(b)) > 32 || std::abs(qGreen(a) - qGreen(b)) > 32 ||
                   std::abs(qBlue(a) - qBlue(b)) > 32;
    }
  }
  return static_cast<double>(differing) / counted;
}

}  // namespace realwindow
