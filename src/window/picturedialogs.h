// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs around the picture: choosing a file to save to, the poster's size, and the help
// window that F1 opens.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QSpinBox;

namespace window {

// The desktop's dialog for saving: `title`, proposing `proposedName` in the pictures folder,
// with `filters` such as "PNG-Bild (*.png)", the first chosen. The name chosen gets the suffix of
// its filter when it has none. Empty when the user cancels.
QString chooseSaveFile(QWidget* parent, const QString& title, const QString& proposedName,
                       const QStringList& filters);

// "Poster speichern": asks for the poster's side in pixels, starting from `side`.
class PosterDialog : public QDialog {
  Q_OBJECT
 public:
  PosterDialog(int side, QWidget* parent);
  int side() const;

 private:
  QSpinBox* side_;
};

// Runs the poster dialog; none when the user cancels.
std::optional<int> askPosterSide(QWidget* parent, int side);

// What each control does and every key the program takes, with its version and licence.
class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent);
  // The text shown, as plain text.
  QString text() const;

 private:
  QString html_;
};

// The help window's text, in German, as HTML.
QString helpHtml();

}  // namespace window
