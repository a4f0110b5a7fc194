// SPDX-License-Identifier: GPL-3.0-or-later
// The window definition: every control with its place and size in twips, in tab order, and what
// each kind of control needs besides.
#pragma once

#include "runtime/runtime.h"

#include <QRect>

#include <array>
#include <cstddef>
#include <optional>

namespace window {

using platform::kTwipsPerPixel;

// Inner (client) area of the window when it opens, in twips.
inline constexpr int kFormInnerWidth = 4680;
inline constexpr int kFormInnerHeight = 3195;

// Every control of the window, in TabIndex order 0 to 31.
enum class Control {
  Picture1,
  Command1,
  txtParameter0,
  hscParameter0,
  lblParameter0,
  txtParameter1,
  hscParameter1,
  lblParameter1,
  txtParameter2,
  hscParameter2,
  lblParameter2,
  txtParameter4,
  hscParameter4,
  lblParameter4,
  Command2,
  txtParameter5,
  lblParameter5,
  picZiel,
  hscParameter3,
  txtParameter3,
  lblParameter3,
  Command3,
  Command4,
  Command5,
  Text1,
  Picture2_0,
  Picture2_1,
  Picture2_2,
  Picture2_3,
  Picture2_4,
  Picture2_5,
  Picture2_6,
};
inline constexpr std::size_t kControlCount = 32;

enum class Kind { PictureBox, Swatch, Button, ParameterBox, StatusBox, ScrollBar, Label };

// Twips, from the top-left corner of the container's inner area.
struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};

struct ScrollRange {
  int min;
  int max;
  int value;  // stored position; rows 1 to 3 start elsewhere than their texts
  int smallStep;
  int largeStep;
};

// A colour that a control does not set: it keeps the style's own.
inline constexpr platform::OleColor kStyleColor = 0xFFFFFFFF;

struct ControlDef {
  Control id;
  Kind kind;
  const char* name;  // the control's name; arrays share one name
  int index;         // element of a control array, or -1
  TwipRect place;
  const char* text = nullptr;             // caption or initial text, UTF-8
  const char* accessibleName = nullptr;   // what a screen reader calls a control without a caption
  std::optional<Control> container = {};  // the window when empty
  platform::OleColor backColor = kStyleColor;
  platform::OleColor fillColor = kStyleColor;  // picture boxes: the colour circles are filled with
  bool fixedScale = false;  // picture boxes: user units 0 to 100 on both axes from the start
  bool flat = false;        // text boxes: no frame
  ScrollRange range = {};   // scroll bars
};

inline constexpr platform::OleColor kScrollBarSystemColor =
    platform::systemColor(platform::SystemColor::ScrollBar);

// clang-format off
inline constexpr std::array<ControlDef, kControlCount> kControls = {{
    {.id = Control::Picture1, .kind = Kind::PictureBox, .name = "Picture1", .index = -1,
     .place = {120, 240, 10335, 10335}, .accessibleName = "Zeichenfläche",
     .backColor = 0x00FFFFFF},
    {.id = Control::Command1, .kind = Kind::Button, .name = "Command1", .index = -1,
     .place = {10560, 240, 2175, 495}, .text = "zeigen"},
    {.id = Control::txtParameter0, .kind = Kind::ParameterBox, .name = "txtParameter", .index = 0,
     .place = {10560, 1080, 855, 375}, .text = "200", .accessibleName = "Anzahl Punkte"},
    {.id = Control::hscParameter0, .kind = Kind::ScrollBar, .name = "hscParameter", .index = 0,
     .place = {11760, 1080, 1575, 375}, .accessibleName = "Anzahl Punkte",
     .range = {1, 2000, 200, 1, 1}},
    {.id = Control::lblParameter0, .kind = Kind::Label, .name = "lblParameter", .index = 0,
     .place = {13560, 1080, 1335, 375}, .text = "Anzahl Punkte"},
    {.id = Control::txtParameter1, .kind = Kind::ParameterBox, .name = "txtParameter", .index = 1,
     .place = {10560, 1800, 855, 375}, .text = "2", .accessibleName = "Größe Punkte"},
    {.id = Control::hscParameter1, .kind = Kind::ScrollBar, .name = "hscParameter", .index = 1,
     .place = {11760, 1800, 1575, 375}, .accessibleName = "Größe Punkte",
     .range = {1, 50, 12, 1, 1}},
    {.id = Control::lblParameter1, .kind = Kind::Label, .name = "lblParameter", .index = 1,
     .place = {13560, 1800, 1335, 375}, .text = "Größe Punkte"},
    {.id = Control::txtParameter2, .kind = Kind::ParameterBox, .name = "txtParameter", .index = 2,
     .place = {10560, 2520, 855, 375}, .text = "20", .accessibleName = "Radiuszunahme"},
    {.id = Control::hscParameter2, .kind = Kind::ScrollBar, .name = "hscParameter", .index = 2,
     .place = {11775, 2520, 1575, 375}, .accessibleName = "Radiuszunahme",
     .range = {1, 180, 1, 1, 1}},
    {.id = Control::lblParameter2, .kind = Kind::Label, .name = "lblParameter", .index = 2,
     .place = {13560, 2520, 1575, 375}, .text = "Radiuszunahme"},
    {.id = Control::txtParameter4, .kind = Kind::ParameterBox, .name = "txtParameter", .index = 4,
     .place = {10560, 3960, 975, 375}, .text = "13750", .accessibleName = "Winkel"},
    {.id = Control::hscParameter4, .kind = Kind::ScrollBar, .name = "hscParameter", .index = 4,
     .place = {11760, 3960, 1575, 375}, .accessibleName = "Winkel",
     .range = {0, 18000, 13750, 1, 10}},
    {.id = Control::lblParameter4, .kind = Kind::Label, .name = "lblParameter", .index = 4,
     .place = {13560, 3960, 1335, 375}, .text = "Winkel"},
    {.id = Control::Command2, .kind = Kind::Button, .name = "Command2", .index = -1,
     .place = {13440, 240, 1455, 495}, .text = "löschen"},
    {.id = Control::txtParameter5, .kind = Kind::ParameterBox, .name = "txtParameter", .index = 5,
     .place = {10560, 4680, 975, 375}, .text = "13750", .accessibleName = "Sonnenblume",
     .backColor = kScrollBarSystemColor, .flat = true},
    {.id = Control::lblParameter5, .kind = Kind::Label, .name = "lblParameter", .index = 5,
     .place = {11880, 4680, 1335, 375}, .text = "Sonnenblume"},
    {.id = Control::picZiel, .kind = Kind::PictureBox, .name = "picZiel", .index = -1,
     .place = {10680, 5280, 2655, 2535}, .accessibleName = "Zielfeld",
     .backColor = 0x00C0C000, .fillColor = 0x00C00000, .fixedScale = true},
    {.id = Control::hscParameter3, .kind = Kind::ScrollBar, .name = "hscParameter", .index = 3,
     .place = {11760, 3240, 1455, 375}, .accessibleName = "Geschwindigkeit",
     .range = {1, 400, 1, 1, 1}},
    {.id = Control::txtParameter3, .kind = Kind::ParameterBox, .name = "txtParameter", .index = 3,
     .place = {10560, 3240, 855, 375}, .text = "0", .accessibleName = "Geschwindigkeit"},
    {.id = Control::lblParameter3, .kind = Kind::Label, .name = "lblParameter", .index = 3,
     .place = {13560, 3240, 1695, 375}, .text = "Geschwindigkeit"},
    {.id = Control::Command3, .kind = Kind::Button, .name = "Command3", .index = -1,
     .place = {14400, 3960, 495, 375}, .text = "lauf"},
    {.id = Control::Command4, .kind = Kind::Button, .name = "Command4", .index = -1,
     .place = {14400, 4320, 495, 375}, .text = "stop", .backColor = 0x000000FF},
    {.id = Control::Command5, .kind = Kind::Button, .name = "Command5", .index = -1,
     .place = {10800, 9960, 2415, 615}, .text = "beenden"},
    {.id = Control::Text1, .kind = Kind::StatusBox, .name = "Text1", .index = -1,
     .place = {10725, 8175, 2565, 690}, .text = "Text1", .accessibleName = "Statusanzeige"},
    {.id = Control::Picture2_0, .kind = Kind::Swatch, .name = "Picture2", .index = 0,
     .place = {0, 0, 390, 390}, .accessibleName = "Hintergrundfarbe weiß",
     .container = Control::Picture1, .backColor = 0x00FFFFFF},
    {.id = Control::Picture2_1, .kind = Kind::Swatch, .name = "Picture2", .index = 1,
     .place = {1875, 0, 390, 390}, .accessibleName = "Hintergrundfarbe marineblau",
     .container = Control::Picture1, .backColor = 0x00800000},
    {.id = Control::Picture2_2, .kind = Kind::Swatch, .name = "Picture2", .index = 2,
     .place = {750, 0, 390, 390}, .accessibleName = "Hintergrundfarbe schwarz",
     .container = Control::Picture1, .backColor = 0x00000000},
    {.id = Control::Picture2_3, .kind = Kind::Swatch, .name = "Picture2", .index = 3,
     .place = {1125, 0, 390, 390}, .accessibleName = "Hintergrundfarbe magenta",
     .container = Control::Picture1, .backColor = 0x00FF00FF},
    {.id = Control::Picture2_4, .kind = Kind::Swatch, .name = "Picture2", .index = 4,
     .place = {1500, 0, 390, 390}, .accessibleName = "Hintergrundfarbe rot",
     .container = Control::Picture1, .backColor = 0x000000FF},
    {.id = Control::Picture2_5, .kind = Kind::Swatch, .name = "Picture2", .index = 5,
     .place = {2250, 0, 390, 390}, .accessibleName = "Hintergrundfarbe hellgrau",
     .container = Control::Picture1, .backColor = 0x00F6F6F6},
    {.id = Control::Picture2_6, .kind = Kind::Swatch, .name = "Picture2", .index = 6,
     .place = {375, 0, 390, 390}, .accessibleName = "Hintergrundfarbe hellgelb",
     .container = Control::Picture1, .backColor = 0x00C0FFFF},
}};
// clang-format on

// The row of `control` in the table.
constexpr const ControlDef& definitionOf(Control control) {
  return kControls[static_cast<std::size_t>(control)];
}

// The table is indexed by its ids, and a container comes before what it contains, so building
// the controls in table order always finds the container made.
constexpr bool tableIsConsistent() {
  for (std::size_t row = 0; row < kControls.size(); ++row) {
    if (static_cast<std::size_t>(kControls[row].id) != row) return false;
    const auto& container = kControls[row].container;
    if (container && static_cast<std::size_t>(*container) >= row) return false;
  }
  return true;
}
static_assert(tableIsConsistent());

// Caption font of the labels and font of the parameter boxes.
inline constexpr const char* kCaptionFontFamily = "Times New Roman";
inline constexpr double kCaptionFontPoints = 12;
inline constexpr const char* kBoxFontFamily = "MS Sans Serif";
inline constexpr double kBoxFontPoints = 9.75;

// Place and size of a control in pixels.
constexpr QRect toPixels(const TwipRect& place) {
  return QRect(place.left / kTwipsPerPixel, place.top / kTwipsPerPixel,
               place.width / kTwipsPerPixel, place.height / kTwipsPerPixel);
}

}  // namespace window
