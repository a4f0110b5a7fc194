// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/picturedialogs.h"

#include "picturefile/picturefile.h"
#include "programinfo/programinfo.h"
#include "window/picturekeys.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace window {

namespace {

// The suffix of a filter such as "PNG-Bild (*.png)".
QString suffixOf(const QString& filter) {
  const QRegularExpressionMatch match =
      QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
  return match.hasMatch() ? match.captured(1) : QString();
}

QString picturesFolder() {
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  return !pictures.isEmpty() && QDir(pictures).exists() ? pictures : QDir::homePath();
}

}  // namespace

QString chooseSaveFile(QWidget* parent, const QString& title, const QString& proposedName,
                       const QStringList& filters) {
  QFileDialog dialog(parent, title, picturesFolder());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(suffixOf(filters.value(0)));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
  dialog.selectFile(proposedName);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

PosterDialog::PosterDialog(int side, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Poster speichern"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  side_ = new QSpinBox(this);
  side_->setRange(16, picturefile::kMostPosterSide);
  side_->setValue(side);
  side_->setSingleStep(256);
  side_->setSuffix(QStringLiteral(" Pixel"));
  side_->setAccessibleName(QStringLiteral("Seitenlänge"));
  form->addRow(QStringLiteral("&Seitenlänge:"), side_);
  layout->addLayout(form);
  auto* note = new QLabel(
      QStringLiteral("Das Poster zeigt das Muster mit den jetzigen Werten und dem Hintergrund; "
                     "Skizzenpunkte gehören nicht dazu.\n"
                     "Als PNG wird es in dieser Größe neu gezeichnet, als SVG als Vektorkreise "
                     "geschrieben, zum Drucken in jeder Größe."),
      this);
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&Weiter …"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(qMax(sizeHint().width(), 420), sizeHint().height());
}

int PosterDialog::side() const {
  return side_->value();
}

std::optional<int> askPosterSide(QWidget* parent, int side) {
  PosterDialog dialog(side, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.side();
}

QString helpHtml() {
  return QStringLiteral(
             "<h2>Quirlbild %1</h2>"
             "<p>Quirlbild zeichnet die Kerne einer Sonnenblume als kleine Kreise in drei "
             "Farbbändern, rot, blau und gelb. Punkt <i>i</i> liegt beim <i>i</i>-fachen Winkel "
             "plus 0,1 Radiant, in einem Abstand vom Mittelpunkt, der mit <i>i</i> wächst.</p>"
             "<h3>Die Bedienelemente</h3><ul>"
             "<li><b>Anzahl Punkte</b>: Punkte je Farbband.</li>"
             "<li><b>Größe Punkte</b>: der Kreisradius ist ein Fünftel davon.</li>"
             "<li><b>Radiuszunahme</b>: Punkt <i>i</i> liegt <i>i</i> · Radiuszunahme / 100 "
             "vom Mittelpunkt.</li>"
             "<li><b>Geschwindigkeit</b>: das Tempo der Animation; über 100 so schnell, wie "
             "gezeichnet werden kann.</li>"
             "<li><b>Winkel</b>: der Teilungswinkel in hundertstel Grad.</li>"
             "<li>Jeder Schieberegler schreibt seinen Wert in das Feld links von ihm; jede "
             "Änderung eines Feldes zeichnet das Muster neu.</li>"
             "<li><b>Zielfeld</b> (das türkise Feld): Drücken und Ziehen stellt nach rechts die "
             "Punktgröße, nach unten die Radiuszunahme ein.</li>"
             "<li><b>zeigen</b> zeichnet das Muster neu, <b>löschen</b> leert das Bild, "
             "<b>lauf</b> dreht den Winkel in Schritten von 0,01 Grad, bis <b>stop</b> gedrückt "
             "wird, <b>beenden</b> beendet das Programm.</li>"
             "<li>Die <b>Farbfelder</b> wählen den Hintergrund; Ziehen auf dem Bild zeichnet "
             "Skizzenpunkte.</li></ul>"
             "<h3>Die Tasten</h3><ul>"
             "<li><b>Tab</b> und <b>Umschalt+Tab</b>: zum nächsten und vorigen Element, in der "
             "Reihenfolge der Zeilen.</li>"
             "<li><b>Pfeiltasten</b>, <b>Bild auf/ab</b>, <b>Pos1</b> und <b>Ende</b>: bewegen "
             "den Schieberegler, der den Fokus hat.</li>"
             "<li><b>Leertaste</b> und <b>Eingabe</b>: drücken die Schaltfläche oder das "
             "Farbfeld, das den Fokus hat.</li>"
             "<li><b>Escape</b>: bricht eine lange Zeichnung ab und hält die Animation an; was "
             "gezeichnet ist, bleibt.</li>%2</ul>"
             "<p>Während einer Zeichnung wartet, was getippt oder geklickt wird, und läuft "
             "danach in seiner Reihenfolge.</p>"
             "<p>Quirlbild %1 ist freie Software unter der GNU General Public License, Version 3 "
             "oder später (GPL-3.0-or-later), ohne jede Gewährleistung.</p>")
      .arg(QString::fromLatin1(programinfo::kVersion), pictureKeysHelp());
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), html_(helpHtml()) {
  setWindowTitle(QStringLiteral("Hilfe zu Quirlbild"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* browser = new QTextBrowser(this);
  browser->setHtml(html_);
  browser->setAccessibleName(QStringLiteral("Hilfetext"));
  browser->setOpenLinks(false);
  layout->addWidget(browser);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close =
      buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
  close->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(560, 620);
}

QString HelpWindow::text() const {
  QTextDocument document;
  document.setHtml(html_);
  return document.toPlainText();
}

}  // namespace window
