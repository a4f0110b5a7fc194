// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the window's layout table for the accessibility test, one control a line in tab order:
// its kind and the name a screen reader gives it, separated by a tab.
#include "window/layout.h"

#include <cstdio>

namespace {

const char* kindName(window::Kind kind) {
  switch (kind) {
    case window::Kind::PictureBox:
      return "picturebox";
    case window::Kind::Swatch:
      return "swatch";
    case window::Kind::Button:
      return "button";
    case window::Kind::ParameterBox:
    case window::Kind::StatusBox:
      return "textbox";
    case window::Kind::ScrollBar:
      return "scrollbar";
    case window::Kind::Label:
      return "label";
  }
  return "?";
}

}  // namespace

int main() {
  for (const window::ControlDef& def : window::kControls) {
    std::printf("%s\t%s\n", kindName(def.kind), def.accessibleName ? def.accessibleName : def.text);
  }
  return 0;
}
