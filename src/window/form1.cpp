#include "form1.h"

#include "icon.h"
#include "layout.h"
#include "pattern/renderer.h"
#include "platform/events.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace window {

using platform::PictureBox;
using platform::runEvent;
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

// Spends `passes` empty passes on the calling thread. The empty asm statement is a compiler
// barrier, so the optimiser cannot drop the loop.
void busyWait(std::int64_t passes) {
  for (std::int64_t i = 0; i < passes; ++i) asm volatile("" ::: "memory");
}

constexpr std::pair<const char*, QPushButton * Form1::*> kButtons[] = {
    {"Command1", &Form1::Command1},
    {"Command2", &Form1::Command2},
    {"Command3", &Form1::Command3},
    {"Command4", &Form1::Command4},
    {"Command5", &Form1::Command5}};

}  // namespace

std::int64_t delayPasses(double speed) {
  const double count = std::nearbyint((100 - speed) * 100000);
  if (count < 0) return 0;
  constexpr double kLargestCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int64_t>(std::min(count, kLargestCount)) + 1;
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
  installFontSubstitutions();
  setWindowTitle(QStringLiteral("Quirlbild"));
  setWindowIcon(programIcon());
  createControls();
  connectHandlers();
  resize(kFormInnerWidth / kTwipsPerPixel, kFormInnerHeight / kTwipsPerPixel);
  runEvent([this] { Form_Load(); });
}

void Form1::createControls() {
  QWidget* previousInTabOrder = nullptr;
  for (const ControlDef& def : kControls) {
    const QString text = def.text ? QString::fromUtf8(def.text) : QString();
    QRect geometry = toPixels(def);
    QWidget* widget = nullptr;
    switch (def.kind) {
      case Kind::PictureBox: {
        auto* box = new PictureBox(PictureBox::Border::Sunken3D, this);
        box->setFillSolid(true);
        if (QLatin1String(def.name) == QLatin1String("Picture1")) {
          box->setBackColor(kPicture1BackColor);
          Picture1 = box;
        } else {
          box->setBackColor(kPicZielBackColor);
          box->setFillColor(kPicZielFillColor);
          box->Scale(0, 0, 100, 100);  // fixed: the pad's units run 0 to 100 on both axes
          picZiel = box;
        }
        widget = box;
        break;
      }
      case Kind::Swatch: {
        // Swatches lie inside Picture1; their places count from its inner area.
        auto* swatch = new PictureBox(PictureBox::Border::FlatLine, Picture1);
        swatch->setBackColor(kSwatchColors.at(def.index));
        swatch->setToolTip(QStringLiteral("Hintergrundfarbe"));
        geometry.translate(Picture1->contentsRect().topLeft());
        Picture2.at(def.index) = swatch;
        widget = swatch;
        break;
      }
      case Kind::Button: {
        auto* button = new QPushButton(text, this);
        for (const auto& [name, member] : kButtons) {
          if (QLatin1String(def.name) == QLatin1String(name)) this->*member = button;
        }
        widget = button;
        break;
      }
      case Kind::TextBox: {
        if (def.index < 0) {
          Text1 = new QLineEdit(text, this);
          Text1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
          widget = Text1;
          break;
        }
        auto* box = new TextBox(this);
        box->setText(text);
        box->setFont(fontOf(kBoxFontFamily, kBoxFontPoints));
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (def.index == kFlatTextRow) {
          box->setFrame(false);
          QPalette palette = box->palette();
          palette.setColor(QPalette::Base, platform::toQColor(kScrollBarSystemColor));
          box->setPalette(palette);
          box->setAutoFillBackground(true);
        }
        txtParameter.at(def.index) = box;
        widget = box;
        break;
      }
      case Kind::ScrollBar: {
        const ScrollBarDef& range = kScrollBars.at(def.index);
        auto* bar = new ScrollBar(this);
        bar->setRange(range.min, range.max);
        bar->setValue(range.value);
        bar->setSingleStep(range.smallStep);
        bar->setPageStep(range.largeStep);
        bar->setFocusPolicy(Qt::StrongFocus);
        hscParameter.at(def.index) = bar;
        widget = bar;
        break;
      }
      case Kind::Label: {
        auto* label = new QLabel(text, this);
        label->setFont(fontOf(kCaptionFontFamily, kCaptionFontPoints));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // A caption a little wider than its box ("Anzahl Punkte") is shown whole, not clipped.
        geometry.setWidth(std::max(geometry.width(), label->sizeHint().width()));
        lblParameter.at(def.index) = label;
        widget = label;
        break;
      }
    }
    widget->setGeometry(geometry);
    widget->setObjectName(objectNameOf(def));
    if (def.accessibleName) widget->setAccessibleName(QString::fromUtf8(def.accessibleName));
    if (widget->focusPolicy() & Qt::TabFocus) {
      if (previousInTabOrder) setTabOrder(previousInTabOrder, widget);
      previousInTabOrder = widget;
    }
  }

  // A graphical button: the face shows its back colour as it is, not shaded by the style.
  Command4->setStyleSheet(
      QStringLiteral("QPushButton { background-color: %1; border: 2px outset %1; }"
                     "QPushButton:pressed { border-style: inset; }")
          .arg(platform::toQColor(kStopButtonColor).name()));
}

void Form1::connectHandlers() {
  connect(Command1, &QPushButton::clicked, this,
          [this] { runEvent([this] { Command1_Click(); }); });
  connect(Command2, &QPushButton::clicked, this,
          [this] { runEvent([this] { Command2_Click(); }); });
  connect(Command3, &QPushButton::clicked, this,
          [this] { runEvent([this] { Command3_Click(); }); });
  connect(Command4, &QPushButton::clicked, this,
          [this] { runEvent([this] { Command4_Click(); }); });
  connect(Command5, &QPushButton::clicked, this,
          [this] { runEvent([this] { Command5_Click(); }); });

  for (int row = 0; row < static_cast<int>(txtParameter.size()); ++row) {
    txtParameter[row]->setChangeHandler([this, row] { txtParameter_Change(row); });
  }
  for (int row = 0; row < static_cast<int>(hscParameter.size()); ++row) {
    hscParameter[row]->setChangeHandler([this, row] { hscParameter_Change(row); });
  }

  // Mouse handlers are entry points: a runtime error in the chain they start ends there.
  using Mouse = void (Form1::*)(int, int, float, float);
  const auto route = [this](PictureBox* box, void (PictureBox::*signal)(int, int, float, float),
                            Mouse handler) {
    connect(box, signal, this, [this, handler](int button, int shift, float x, float y) {
      runEvent([&] { (this->*handler)(button, shift, x, y); });
    });
  };
  route(picZiel, &PictureBox::mouseDown, &Form1::picZiel_MouseDown);
  route(picZiel, &PictureBox::mouseMove, &Form1::picZiel_MouseMove);
  route(picZiel, &PictureBox::mouseUp, &Form1::picZiel_MouseUp);
  route(Picture1, &PictureBox::mouseDown, &Form1::Picture1_MouseDown);
  route(Picture1, &PictureBox::mouseMove, &Form1::Picture1_MouseMove);
  route(Picture1, &PictureBox::mouseUp, &Form1::Picture1_MouseUp);

  for (int index = 0; index < static_cast<int>(Picture2.size()); ++index) {
    connect(Picture2[index], &PictureBox::clicked, this,
            [this, index] { runEvent([this, index] { Picture2_Click(index); }); });
  }
}

void Form1::Form_Load() {
  Picture1->Scale(-100, -100, 100, 100);
  ReadParameters();
  Command1_Click();
}

void Form1::ReadParameters() {
  pattern::ReadParameters(parameters, [this](int row) { return txtParameter.at(row)->text(); });
}

void Form1::Command1_Click() {
  ++redraws_;
  pattern::drawPattern(parameters, *Picture1);
}

void Form1::hscParameter_Change(int index) {
  txtParameter.at(index)->assignText(platform::Str(hscParameter.at(index)->Value()));
}

void Form1::txtParameter_Change(int /*index*/) {
  ReadParameters();
  Command1_Click();
}

void Form1::Command2_Click() {
  Picture1->Cls();
}

void Form1::Command3_Click() {
  StopRequested = 0;
  do {
    if (!animationTurn()) return;
  } while (StopRequested != -1);
}

bool Form1::animationTurn() {
  platform::DoEvents();
  if (ending_) return false;
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
  platform::End();
}

void Form1::closeEvent(QCloseEvent* event) {
  ending_ = true;
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
  picZiel->Cls();
  picZiel->Circle(x, y, 5);
  TargetActive = true;
  mapToRow(1, x);
  mapToRow(2, y);
}

void Form1::picZiel_MouseMove(int /*button*/, int /*shift*/, float x, float y) {
  if (!(TargetActive && x > 0 && x < 100 && y > 0 && y < 100)) return;
  picZiel->Cls();
  picZiel->Circle(x, y, 5);
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
  Picture1->Circle(x, y, 1.0f, platform::RGB(255, 255, 255));
  Text1->setText(QStringLiteral("zeichnen"));
}

void Form1::Picture1_MouseUp(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {
  SketchActive = false;
}

void Form1::Picture2_Click(int index) {
  Picture1->setBackColor(Picture2.at(index)->BackColor());
}

}  // namespace window
