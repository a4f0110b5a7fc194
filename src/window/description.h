// SPDX-License-Identifier: GPL-3.0-or-later
// The picture's description for a screen reader.
#pragma once

#include "pattern/parameters.h"
#include "runtime/colors.h"

#include <QString>

namespace window {

// What the drawing surface shows, in German, for a screen reader: the points drawn with the
// parameters and background, or that it is empty.
QString describePicture(const pattern::ParameterSet& parameters, platform::OleColor background,
                        bool empty, bool complete);

}  // namespace window
