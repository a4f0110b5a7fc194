// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern/parameters.h"

#include "runtime/runtime.h"

namespace pattern {

using platform::checkedFloat;
using platform::Val;

void ReadParameters(ParameterSet& parameters, const RowText& rowText) {
  parameters.PointTotal = checkedFloat(Val(rowText(0)) * 3.0);
  parameters.PointSize = Val(rowText(1));
  parameters.RadiusStep = Val(rowText(2));
  parameters.Speed = Val(rowText(3));
  parameters.DivergenceAngle = Val(rowText(4)) / 100.0;
  checkedFloat(parameters.DivergenceAngle);
}

}  // namespace pattern
