// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern's numeric parameters and the one place where parameter texts become numbers.
#pragma once

#include <QString>

#include <functional>

namespace pattern {

struct ParameterSet {
  double PointTotal = 0.0;       // three times the number in row 0: index of the last point
  double PointSize = 0.0;        // circle radius is PointSize / 5, in user units
  double RadiusStep = 0.0;       // point i lies i * RadiusStep / 100 user units from the centre
  double Speed = 0.0;            // sets the animation's idle wait; the renderer ignores it
  double DivergenceAngle = 0.0;  // degrees turned from one point to the next
};

// The text of parameter row `row` (0 to 4).
using RowText = std::function<QString(int row)>;

// Reads rows 0 to 4 in order into `parameters`. Row 0 is multiplied by 3 and checked before
// anything is assigned, so an overflow there (a runtime error) leaves every parameter as it was.
// Row 4 is divided by 100 and stored before its own check.
void ReadParameters(ParameterSet& parameters, const RowText& rowText);

}  // namespace pattern
