// SPDX-License-Identifier: GPL-3.0-or-later
// Building the window: its fonts, its controls from the layout table, and the wiring of every
// control to its handler.
#include "window/form1.h"

#include "controls/accessibility.h"
#include "programinfo/programinfo.h"
#include "runtime/events.h"
#include "window/icon.h"
#include "window/layout.h"
#include "window/picturekeys.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include <functional>

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

}  // namespace

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

}  // namespace window
