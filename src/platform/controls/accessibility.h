// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive technology (a screen reader, through AT-SPI) is told about the controls.
#pragma once

#include <QMetaObject>

namespace platform {

// Installs the accessible interfaces of the picture boxes: a drawing surface or pad is a canvas,
// a pressable box (a colour swatch) a button with a press action. Call once, before the first
// window is shown; installing again does nothing.
void installAccessibleRoles();

// Top-level widgets of the class `window` are windows to assistive technology, not panels inside
// one. Call once for the program's window class; a second class replaces the first.
void installWindowRole(const QMetaObject& window);

}  // namespace platform
