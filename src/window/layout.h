// The window definition: every control with its place and size in twips, in tab order.
#pragma once

#include "platform/runtime.h"

#include <QRect>

#include <array>

namespace window {

inline constexpr int kTwipsPerPixel = 15;  // at 96 dots per inch

// Inner (client) area of the window when it opens, in twips.
inline constexpr int kFormInnerWidth = 4680;
inline constexpr int kFormInnerHeight = 3195;

enum class Kind { PictureBox, Button, TextBox, ScrollBar, Label, Swatch };

struct ControlDef {
  Kind kind;
  const char* name;  // the control's name; arrays share one name
  int index;         // element of a control array, or -1
  // Twips, from the top-left corner of the container's inner area (the window, or Picture1 for
  // the swatches).
  int left;
  int top;
  int width;
  int height;
  const char* text;            // caption or initial text, UTF-8; nullptr for none
  const char* accessibleName;  // what a screen reader calls a control without a caption
};

// The 32 controls, in TabIndex order 0 to 31.
inline constexpr std::array<ControlDef, 32> kControls = {{
    {Kind::PictureBox, "Picture1", -1, 120, 240, 10335, 10335, nullptr, "Zeichenfläche"},
    {Kind::Button, "Command1", -1, 10560, 240, 2175, 495, "zeigen", nullptr},
    {Kind::TextBox, "txtParameter", 0, 10560, 1080, 855, 375, "200", "Anzahl Punkte"},
    {Kind::ScrollBar, "hscParameter", 0, 11760, 1080, 1575, 375, nullptr, "Anzahl Punkte"},
    {Kind::Label, "lblParameter", 0, 13560, 1080, 1335, 375, "Anzahl Punkte", nullptr},
    {Kind::TextBox, "txtParameter", 1, 10560, 1800, 855, 375, "2", "Größe Punkte"},
    {Kind::ScrollBar, "hscParameter", 1, 11760, 1800, 1575, 375, nullptr, "Größe Punkte"},
    {Kind::Label, "lblParameter", 1, 13560, 1800, 1335, 375, "Größe Punkte", nullptr},
    {Kind::TextBox, "txtParameter", 2, 10560, 2520, 855, 375, "20", "Radiuszunahme"},
    {Kind::ScrollBar, "hscParameter", 2, 11775, 2520, 1575, 375, nullptr, "Radiuszunahme"},
    {Kind::Label, "lblParameter", 2, 13560, 2520, 1575, 375, "Radiuszunahme", nullptr},
    {Kind::TextBox, "txtParameter", 4, 10560, 3960, 975, 375, "13750", "Winkel"},
    {Kind::ScrollBar, "hscParameter", 4, 11760, 3960, 1575, 375, nullptr, "Winkel"},
    {Kind::Label, "lblParameter", 4, 13560, 3960, 1335, 375, "Winkel", nullptr},
    {Kind::Button, "Command2", -1, 13440, 240, 1455, 495, "löschen", nullptr},
    {Kind::TextBox, "txtParameter", 5, 10560, 4680, 975, 375, "13750", "Sonnenblume"},
    {Kind::Label, "lblParameter", 5, 11880, 4680, 1335, 375, "Sonnenblume", nullptr},
    {Kind::PictureBox, "picZiel", -1, 10680, 5280, 2655, 2535, nullptr, "Zielfeld"},
    {Kind::ScrollBar, "hscParameter", 3, 11760, 3240, 1455, 375, nullptr, "Geschwindigkeit"},
    {Kind::TextBox, "txtParameter", 3, 10560, 3240, 855, 375, "0", "Geschwindigkeit"},
    {Kind::Label, "lblParameter", 3, 13560, 3240, 1695, 375, "Geschwindigkeit", nullptr},
    {Kind::Button, "Command3", -1, 14400, 3960, 495, 375, "lauf", nullptr},
    {Kind::Button, "Command4", -1, 14400, 4320, 495, 375, "stop", nullptr},
    {Kind::Button, "Command5", -1, 10800, 9960, 2415, 615, "beenden", nullptr},
    {Kind::TextBox, "Text1", -1, 10725, 8175, 2565, 690, "Text1", "Statusanzeige"},
    {Kind::Swatch, "Picture2", 0, 0, 0, 390, 390, nullptr, "Hintergrundfarbe weiß"},
    {Kind::Swatch, "Picture2", 1, 1875, 0, 390, 390, nullptr, "Hintergrundfarbe marineblau"},
    {Kind::Swatch, "Picture2", 2, 750, 0, 390, 390, nullptr, "Hintergrundfarbe schwarz"},
    {Kind::Swatch, "Picture2", 3, 1125, 0, 390, 390, nullptr, "Hintergrundfarbe magenta"},
    {Kind::Swatch, "Picture2", 4, 1500, 0, 390, 390, nullptr, "Hintergrundfarbe rot"},
    {Kind::Swatch, "Picture2", 5, 2250, 0, 390, 390, nullptr, "Hintergrundfarbe hellgrau"},
    {Kind::Swatch, "Picture2", 6, 375, 0, 390, 390, nullptr, "Hintergrundfarbe hellgelb"},
}};

struct ScrollBarDef {
  int min;
  int max;
  int value;  // stored position; rows 1 to 3 start elsewhere than their texts
  int smallStep;
  int largeStep;
};

// By row 0 to 4.
inline constexpr std::array<ScrollBarDef, 5> kScrollBars = {{
    {1, 2000, 200, 1, 1},
    {1, 50, 12, 1, 1},
    {1, 180, 1, 1, 1},
    {1, 400, 1, 1, 1},
    {0, 18000, 13750, 1, 10},
}};

// Back colours of the swatches Picture2(0) to Picture2(6).
inline constexpr std::array<platform::OleColor, 7> kSwatchColors = {
    0x00FFFFFF, 0x00800000, 0x00000000, 0x00FF00FF, 0x000000FF, 0x00F6F6F6, 0x00C0FFFF};

inline constexpr platform::OleColor kPicture1BackColor = 0x00FFFFFF;
inline constexpr platform::OleColor kPicZielBackColor = 0x00C0C000;
inline constexpr platform::OleColor kPicZielFillColor = 0x00C00000;
inline constexpr platform::OleColor kStopButtonColor = 0x000000FF;
inline constexpr platform::OleColor kScrollBarSystemColor = 0x80000000;  // row 5's text box
inline constexpr int kFlatTextRow = 5;

// Caption font of the labels and font of the parameter boxes.
inline constexpr const char* kCaptionFontFamily = "Times New Roman";
inline constexpr double kCaptionFontPoints = 12;
inline constexpr const char* kBoxFontFamily = "MS Sans Serif";
inline constexpr double kBoxFontPoints = 9.75;

// Place and size of a control in pixels.
constexpr QRect toPixels(const ControlDef& def) {
  return QRect(def.left / kTwipsPerPixel, def.top / kTwipsPerPixel, def.width / kTwipsPerPixel,
               def.height / kTwipsPerPixel);
}

}  // namespace window
