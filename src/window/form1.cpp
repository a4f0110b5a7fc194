// SPDX-License-Identifier: GPL-3.0-or-later
// The window's event handlers.
#include "window/form1.h"

#include "pattern/renderer.h"
#include "runtime/events.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <limits>

namespace window {

using platform::ScrollBar;

namespace {

// Spends `passes` empty passes on the calling thread. Each pass stores to a volatile, which the
// optimiser must keep, so the loop stays, on every compiler.
void busyWait(std::int64_t passes) {
  [[maybe_unused]] volatile std::int64_t pass = 0;
  for (std::int64_t i = 0; i < passes; ++i) pass = i;
}

}  // namespace

std::int64_t delayPasses(double speed) {
  const double count = std::nearbyint((100 - speed) * 100000);
  if (count < 0) return 0;
  constexpr double kLargestCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int64_t>(std::min(count, kLargestCount)) + 1;
}

void Form1::Form_Load() {
  Picture1->canvas().Scale(-100, -100, 100, 100);
  ReadParameters();
  Command1_Click();
}

void Form1::ReadParameters() {
  pattern::ReadParameters(parameters, [this](int row) { return txtParameter.at(row)->text(); });
}

void Form1::Command1_Click() {
  ++redraws_;
  progress_.start();
  // Input kept during the drawing goes back to the event loop however the drawing ends.
  const auto finished = qScopeGuard([this] { progress_.finish(); });
  try {
    pattern::drawPattern(parameters, Picture1->canvas(), {&progress_});
  } catch (const platform::Interrupted&) {
    describePicture(Picture::Stopped);
    Text1->setText(QStringLiteral("Zeichnung abgebrochen"));
    // A cancel stops the animations as well, nested ones included, without another step.
    ++runsCancelled_;
    throw;
  } catch (...) {
    // An error stopped the drawing part way.
    describePicture(Picture::Stopped);
    throw;
  }
  describePicture(Picture::Drawn);
}

void Form1::hscParameter_Change(int index) {
  txtParameter.at(index)->assignText(platform::Str(hscParameter.at(index)->Value()));
}

void Form1::txtParameter_Change(int /*index*/) {
  ReadParameters();
  Command1_Click();
}

void Form1::Command2_Click() {
  Picture1->canvas().Cls();
  describePicture(Picture::Empty);
}

void Form1::describePicture(Picture shown) {
  // A drawing that drew nothing (no point, or none within the surface) leaves it empty.
  shown_ = Picture1->canvas().isBlank() ? Picture::Empty : shown;
  if (describing_.request()) publishDescription();
}

void Form1::publishDescription() {
  Picture1->setAccessibleDescription(window::describePicture(
      parameters, Picture1->BackColor(), shown_ == Picture::Empty, shown_ == Picture::Drawn));
}

void Form1::Command3_Click() {
  StopRequested = 0;
  // The runs under way when a drawing is cancelled end; one started after it goes on.
  const int cancelledBefore = runsCancelled_;
  ++runningAnimations_;
  // During an animation one indicator of long steps stays up for all of them.
  progress_.setKeepShown(true);
  const auto ended = qScopeGuard([this] {
    if (--runningAnimations_ == 0) progress_.setKeepShown(false);
  });
  do {
    if (!animationTurn(cancelledBefore)) return;
  } while (StopRequested != -1);
}

bool Form1::animationTurn(int cancelledBefore) {
  platform::DoEvents();
  if (ending_ || runsCancelled_ != cancelledBefore) return false;
  ScrollBar& angle = *hscParameter[4];
  const std::int16_t next = platform::add16(angle.Value(), 1);
  // A bar dragged to its very end steps round to 0 rather than past its range.
  angle.assignValue(next > angle.Max() ? 0 : next);
  if (angle.Value() > platform::sub16(angle.Max(), 4)) angle.assignValue(0);
  busyWait(delayPasses(parameters.Speed));
  return true;
}

void Form1::Command4_Click() {
  StopRequested = -1;
}

void Form1::Command5_Click() {
  ending_ = true;
  progress_.stopAll();
  platform::End();
}

void Form1::closeEvent(QCloseEvent* event) {
  ending_ = true;
  // A drawing under way stops at once; the program ends when its handler has returned.
  progress_.stopAll();
  event->accept();
}

void Form1::mapToRow(int row, float coordinate) {
  ScrollBar& bar = *hscParameter.at(row);
  const std::int16_t span = platform::sub16(bar.Max(), bar.Min());
  // The product and quotient stay in double precision; only the span is a single.
  const double value =
      platform::checkedFloat(double{static_cast<float>(span)} * coordinate / 100.0f + bar.Min());
  bar.assignValue(platform::CInt(value));
}

void Form1::picZiel_MouseDown(int /*button*/, int /*shift*/, float x, float y) {
  Text1->setText(QStringLiteral("mousedown"));
  picZiel->canvas().Cls();
  picZiel->canvas().Circle(x, y, 5);
  TargetActive = true;
  mapToRow(1, x);
  mapToRow(2, y);
}

void Form1::picZiel_MouseMove(int /*button*/, int /*shift*/, float x, float y) {
  if (!(TargetActive && x > 0 && x < 100 && y > 0 && y < 100)) return;
  picZiel->canvas().Cls();
  picZiel->canvas().Circle(x, y, 5);
  Text1->setText(platform::Str(x) + platform::Str(y));
  mapToRow(1, x);
  mapToRow(2, y);
}

void Form1::picZiel_MouseUp(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {
  Text1->setText(QStringLiteral("mouseup"));
  TargetActive = false;
}

void Form1::Picture1_MouseDown(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {
  SketchActive = true;
}

void Form1::Picture1_MouseMove(int /*button*/, int /*shift*/, float x, float y) {
  if (!SketchActive) return;
  Picture1->canvas().Circle(x, y, 1.0f, platform::RGB(255, 255, 255));
  Text1->setText(QStringLiteral("zeichnen"));
}

void Form1::Picture1_MouseUp(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {
  SketchActive = false;
}

void Form1::Picture2_Click(int index) {
  Picture1->canvas().setBackColor(Picture2.at(index)->BackColor());
  describePicture(shown_);
}

}  // namespace window
