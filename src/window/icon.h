// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace window {

// The program's icon: a small spiral of dots, 32 x 32 pixels in 16 colours.
QIcon programIcon();

}  // namespace window
