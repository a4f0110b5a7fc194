// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/form1.h"

#include "controls/accessibility.h"
#include "pattern/renderer.h"
#include "programinfo/programinfo.h"
#include "runtime/events.h"
#include "window/icon.h"
#include "window/layout.h"
#include "window/picturekeys.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <QShortcut>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace window {

using platform::PictureBox;
using platform::ScrollBar;
using platform::TextBox;

namespace {

QFont fontOf(const char* family, double points) {
  QFont font(QString::fromLatin1(family));
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  return font;
}

// The window's fonts are Windows fonts; where they are missing, metric-compatible free ones stand
// in (Liberation Serif has the metrics of Times New Roman).
void installFontSubstitutions() {
  QFont::insertSubstitutions(QString::fromLatin1(kCaptionFontFamily),
                             {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
  QFont::insertSubstitutions(QString::fromLatin1(kBoxFontFamily),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QString objectNameOf(const ControlDef& def) {
  const QString name = QString::fromLatin1(def.name);
  return def.index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(def.index);
}

// Spends `passes` empty passes on the calling thread. Each pass stores to a volatile, which the
// optimiser must keep, so the loop stays, on every compiler.
void busyWait(std::int64_t passes) {
  [[maybe_unused]] volatile std::int64_t pass = 0;
  for (std::int64_t i = 0; i < passes; ++i) pass = i;
}

}  // namespace

namespace {

// Plain digits with a decimal comma and as few of them as say the value exactly; an exponent only
// for the very large and the very small, which a screen reader cannot read out otherwise.
QString germanNumber(double value, int decimals = QLocale::FloatingPointShortest) {
  static const QLocale german(QLocale::German, QLocale::Germany);
  const double size = std::abs(value);
  const bool plain = size == 0 || (size >= 1e-6 && size < 1e15);
  // Past 15 digits a product such as 3 * 1e30 shows its rounding (3,0000000000000003E+30), which
  // says nothing to a listener.
  constexpr int kDigitsThatMean = 15;
  return plain ? german.toString(value, 'f', decimals)
               : german.toString(value, 'g', kDigitsThatMean);
}

QString colourName(platform::OleColor color) {
  for (const ControlDef& def : kControls) {
    if (def.kind == Kind::Swatch && def.backColor == color) {
      return QString::fromUtf8(def.accessibleName).section(u' ', 1);
    }
  }
  return QStringLiteral("#%1").arg(color, 6, 16, QLatin1Char('0'));
}

}  // namespace

QString describePicture(const pattern::ParameterSet& parameters, platform::OleColor background,
                        bool empty, bool complete) {
  const QString backgroundText = QStringLiteral("Hintergrund ") + colourName(background);
  if (empty) return QStringLiteral("Leer, ") + backgroundText;
  const QString drawn =
      QStringLiteral("%1 Punkte in drei Farben, Winkel %2°, Größe %3, Radiuszunahme %4, %5")
          .arg(germanNumber(parameters.PointTotal), germanNumber(parameters.DivergenceAngle, 2),
               germanNumber(parameters.PointSize), germanNumber(parameters.RadiusStep),
               backgroundText);
  return complete ? drawn : QStringLiteral("Unvollständig: ") + drawn;
}

std::int64_t delayPasses(double speed) {
  const double count = std::nearbyint((100 - speed) * 100000);
  if (count < 0) return 0;
  constexpr double kLargestCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int64_t>(std::min(count, kLargestCount)) + 1;
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
  platform::installAccessibleRoles();
  platform::installWindowRole(staticMetaObject);
  installFontSubstitutions();
  setWindowTitle(QString::fromLatin1(programinfo::kName));
  setWindowIcon(programIcon());
  createControls();
  connectHandlers();
  progress_.setSurface(Picture1);
  progress_.setCancelBetweenDrawings([this] { ++runsCancelled_; });
  resize(kFormInnerWidth / kTwipsPerPixel, kFormInnerHeight / kTwipsPerPixel);
  platform::runEvent([this] { Form_Load(); });
  // The first control in tab order has the focus when the window opens.
  control(kControls.front().id)->setFocus();
}

QWidget* Form1::createControl(const ControlDef& def, QWidget* container) {
  const QString text = def.text ? QString::fromUtf8(def.text) : QString();
  switch (def.kind) {
    case Kind::PictureBox: {
      auto* box = new PictureBox(PictureBox::Border::Sunken3D, container);
      platform::Canvas& canvas = box->canvas();
      canvas.setFillSolid(true);
      canvas.setBackColor(def.backColor);
      if (def.fillColor != kStyleColor) canvas.setFillColor(def.fillColor);
      if (def.fixedScale) canvas.Scale(0, 0, 100, 100);
      return box;
    }
    case Kind::Swatch: {
      auto* swatch = new PictureBox(PictureBox::Border::FlatLine, container);
      swatch->canvas().setBackColor(def.backColor);
      swatch->setToolTip(QStringLiteral("Hintergrundfarbe"));
      swatch->setPressable(true);
      return swatch;
    }
    case Kind::Button: {
      auto* button = new platform::PushButton(text, container);
      if (def.backColor != kStyleColor) {
        // A graphical button: the face shows its back colour as it is, not shaded by the style.
        button->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; border: 2px outset %1; }"
                           "QPushButton:pressed { border-style: inset; }")
                .arg(platform::toQColor(def.backColor).name()));
      }
      return button;
    }
    case Kind::StatusBox: {
      auto* box = new QLineEdit(text, container);
      box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return box;
    }
    case Kind::ParameterBox: {
      auto* box = new TextBox(container);
      box->setText(text);
      box->setFont(fontOf(kBoxFontFamily, kBoxFontPoints));
      box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (def.flat) box->setFrame(false);
      if (def.backColor != kStyleColor) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, platform::toQColor(def.backColor));
        box->setPalette(palette);
        box->setAutoFillBackground(true);
      }
      return box;
    }
    case Kind::ScrollBar: {
      auto* bar = new ScrollBar(container);
      bar->setRange(def.range.min, def.range.max);
      bar->setValue(def.range.value);
      bar->setSingleStep(def.range.smallStep);
      bar->setPageStep(def.range.largeStep);
      bar->setFocusPolicy(Qt::StrongFocus);
      return bar;
    }
    case Kind::Label: {
      auto* label = new QLabel(text, container);
      label->setFont(fontOf(kCaptionFontFamily, kCaptionFontPoints));
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
  }
  return nullptr;
}

void Form1::createControls() {
  QWidget* previousInTabOrder = nullptr;
  for (const ControlDef& def : kControls) {
    QWidget* container = def.container ? control(*def.container) : this;
    QWidget* widget = createControl(def, container);
    QRect geometry = toPixels(def.place).translated(container->contentsRect().topLeft());
    if (def.kind == Kind::Label) {
      // A caption a little wider than its box ("Anzahl Punkte") is shown whole, not clipped.
      geometry.setWidth(std::max(geometry.width(), widget->sizeHint().width()));
    }
    if (auto* box = qobject_cast<PictureBox*>(widget)) {
      box->place(geometry);
    } else {
      widget->setGeometry(geometry);
    }
    widget->setObjectName(objectNameOf(def));
    if (def.accessibleName) widget->setAccessibleName(QString::fromUtf8(def.accessibleName));
    if (widget->focusPolicy() & Qt::TabFocus) {
      if (previousInTabOrder) setTabOrder(previousInTabOrder, widget);
      previousInTabOrder = widget;
    }
    controls_[static_cast<std::size_t>(def.id)] = widget;
  }
  bindNamedControls();
}

void Form1::bindNamedControls() {
  for (const ControlDef& def : kControls) {
    QWidget* const widget = control(def.id);
    switch (def.kind) {
      case Kind::PictureBox:
        static_cast<PictureBox*>(widget)->setPacer(pacer_);
        break;
      case Kind::Swatch:
        Picture2.at(def.index) = static_cast<PictureBox*>(widget);
        Picture2.at(def.index)->setPacer(pacer_);
        break;
      case Kind::ParameterBox:
        txtParameter.at(def.index) = static_cast<TextBox*>(widget);
        break;
      case Kind::ScrollBar:
        hscParameter.at(def.index) = static_cast<ScrollBar*>(widget);
        break;
      case Kind::Label:
        lblParameter.at(def.index) = static_cast<QLabel*>(widget);
        break;
      case Kind::Button:
      case Kind::StatusBox:
        break;
    }
  }
  Picture1 = controlAs<PictureBox>(Control::Picture1);
  picZiel = controlAs<PictureBox>(Control::picZiel);
  Command1 = controlAs<QPushButton>(Control::Command1);
  Command2 = controlAs<QPushButton>(Control::Command2);
  Command3 = controlAs<QPushButton>(Control::Command3);
  Command4 = controlAs<QPushButton>(Control::Command4);
  Command5 = controlAs<QPushButton>(Control::Command5);
  Text1 = controlAs<QLineEdit>(Control::Text1);
}

void Form1::connectHandlers() {
  using platform::onEvent;
  onEvent(Command1, &QPushButton::clicked, this, std::bind_front(&Form1::Command1_Click, this));
  onEvent(Command2, &QPushButton::clicked, this, std::bind_front(&Form1::Command2_Click, this));
  onEvent(Command3, &QPushButton::clicked, this, std::bind_front(&Form1::Command3_Click, this));
  onEvent(Command4, &QPushButton::clicked, this, std::bind_front(&Form1::Command4_Click, this));
  onEvent(Command5, &QPushButton::clicked, this, std::bind_front(&Form1::Command5_Click, this));

  for (int row = 0; row < static_cast<int>(txtParameter.size()); ++row) {
    txtParameter[row]->setChangeHandler(std::bind_front(&Form1::txtParameter_Change, this, row));
  }
  for (int row = 0; row < static_cast<int>(hscParameter.size()); ++row) {
    hscParameter[row]->setChangeHandler(std::bind_front(&Form1::hscParameter_Change, this, row));
  }

  using Mouse = void (Form1::*)(int, int, float, float);
  const auto route = [this](PictureBox* box, void (PictureBox::*signal)(int, int, float, float),
                            Mouse handler) {
    onEvent(box, signal, this, std::bind_front(handler, this));
  };
  route(picZiel, &PictureBox::mouseDown, &Form1::picZiel_MouseDown);
  route(picZiel, &PictureBox::mouseMove, &Form1::picZiel_MouseMove);
  route(picZiel, &PictureBox::mouseUp, &Form1::picZiel_MouseUp);
  route(Picture1, &PictureBox::mouseDown, &Form1::Picture1_MouseDown);
  route(Picture1, &PictureBox::mouseMove, &Form1::Picture1_MouseMove);
  route(Picture1, &PictureBox::mouseUp, &Form1::Picture1_MouseUp);

  for (int index = 0; index < static_cast<int>(Picture2.size()); ++index) {
    onEvent(Picture2[index], &PictureBox::clicked, this,
            std::bind_front(&Form1::Picture2_Click, this, index));
  }

  // A text box with the focus takes Ctrl+C for its text before the window's shortcut sees it.
  for (const PictureKey& key : pictureKeys()) {
    onEvent(new QShortcut(key.keys, this), &QShortcut::activated, this,
            std::bind_front(key.act, this));
  }
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
