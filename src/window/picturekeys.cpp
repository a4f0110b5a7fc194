// SPDX-License-Identifier: GPL-3.0-or-later
// What the picture keys do: copy, save, save a poster, open the help.
#include "window/picturekeys.h"

#include "picturefile/picturefile.h"
#include "runtime/events.h"
#include "window/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>

#include <array>

namespace window {

std::span<const PictureKey> pictureKeys() {
  static const std::array<PictureKey, 4> keys = {{
      {QKeySequence::Copy, &Form1::copyPicture, "Strg+C",
       "kopiert das Bild in die Zwischenablage (in einem Eingabefeld wie immer den Text)."},
      {QKeySequence(Qt::CTRL | Qt::Key_S), &Form1::savePicture, "Strg+S",
       "speichert das Bild als PNG."},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &Form1::savePoster, "Strg+Umschalt+S",
       "speichert ein Poster in einer gewählten Größe, als PNG neu gezeichnet oder als SVG mit "
       "Vektorkreisen; ohne Skizzenpunkte."},
      {QKeySequence(Qt::Key_F1), &Form1::showHelp, "F1",
       "diese Hilfe. <b>Escape</b> schließt sie."},
  }};
  return keys;
}

QString pictureKeysHelp() {
  QString items;
  for (const PictureKey& key : pictureKeys()) {
    items += QStringLiteral("<li><b>%1</b>: %2</li>")
                 .arg(QString::fromUtf8(key.name), QString::fromUtf8(key.does));
  }
  return items;
}

void Form1::copyPicture() {
  QGuiApplication::clipboard()->setImage(Picture1->canvas().picture());
}

void Form1::savePicture() {
  const QString path =
      dialogs.saveFile(this, QStringLiteral("Bild speichern"),
                       picturefile::proposedName(parameters, QStringLiteral("png")),
                       {QStringLiteral("PNG-Bild (*.png)")});
  if (path.isEmpty()) return;
  const QImage picture = Picture1->canvas().picture();
  const picturefile::WriteOutcome outcome = picturefile::writeWhole(
      path, [&picture](QIODevice& out) { return picturefile::writePng(out, picture); });
  if (!outcome.written()) reportNotSaved(path, outcome.reason);
}

void Form1::savePoster() {
  const std::optional<int> side = dialogs.posterSide(this, posterSide_);
  if (!side) return;
  posterSide_ = *side;
  const QString path = dialogs.saveFile(
      this, QStringLiteral("Poster speichern"),
      picturefile::proposedName(parameters, QStringLiteral("png")),
      {QStringLiteral("PNG-Bild (*.png)"), QStringLiteral("SVG-Vektorgrafik (*.svg)")});
  if (path.isEmpty()) return;
  const platform::Canvas& surface = Picture1->canvas();
  picturefile::WriteOutcome outcome;
  // The runtime error the poster's drawing ends in, as the surface's drawing does.
  std::optional<platform::RuntimeError::Number> drawingError;
  progress_.start();
  {
    // Input that comes while the poster is drawn or written waits, and runs after it.
    const auto finished = qScopeGuard([this] { progress_.finish(); });
    try {
      if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        outcome = picturefile::writeWhole(path, [&](QIODevice& out) {
          return picturefile::writeSvg(out, parameters, surface, *side, &progress_, &drawingError);
        });
      } else {
        outcome = picturefile::writeWhole(path, [&](QIODevice& out) {
          return picturefile::writePngPoster(out, parameters, surface, *side, {&progress_},
                                             &drawingError);
        });
      }
    } catch (const platform::Interrupted&) {
      outcome.state = picturefile::WriteOutcome::State::Cancelled;
    }
  }
  if (outcome.state == picturefile::WriteOutcome::State::Cancelled) {
    Text1->setText(QStringLiteral("Poster abgebrochen, nichts gespeichert"));
  } else if (!outcome.written()) {
    reportNotSaved(path, outcome.reason);
  } else if (drawingError) {
    // Saved as the surface would show it, and reported as the surface's drawing reports it.
    throw platform::RuntimeError(*drawingError);
  }
}

void Form1::reportNotSaved(const QString& path, const QString& reason) {
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Nicht gespeichert"),
                              picturefile::notWrittenMessage(path, reason), QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void Form1::showHelp() {
  if (QWidget* const modal = QApplication::activeModalWidget(); modal && modal != help_) {
    // Beside a dialog that holds the window, help could not be used and would hide the dialog:
    // it opens once the dialog has closed.
    if (!helpAfterDialog_) {
      helpAfterDialog_ = true;
      const auto afterIt = [this] {
        QTimer::singleShot(0, this, [this] {
          helpAfterDialog_ = false;
          platform::deliverEvent([this] { showHelp(); });
        });
      };
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        connect(dialog, &QDialog::finished, this, afterIt, Qt::SingleShotConnection);
      } else {
        connect(modal, &QObject::destroyed, this, afterIt, Qt::SingleShotConnection);
      }
    }
    return;
  }
  if (!help_) {
    help_ = new HelpWindow(this);
    help_->setAttribute(Qt::WA_DeleteOnClose);
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

}  // namespace window
