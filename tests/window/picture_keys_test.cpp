// SPDX-License-Identifier: GPL-3.0-or-later
// The keys that take the picture out of the window: copy, save, poster, help.
#include "support/error_recorder.h"
#include "window/form1.h"
#include "window/picturedialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

using window::Form1;

namespace {

class PictureKeys : public testing::Test {
 protected:
  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    waitUntilShown();
    form.hscParameter[4]->setFocus();
    // Every dialog answers at once: the file is `chosen` in the temporary folder.
    form.dialogs.saveFile = [this](QWidget*, const QString& title, const QString& proposed,
                                   const QStringList&) {
      titles << title;
      proposedNames << proposed;
      return chosen.isEmpty() ? QString() : folder.filePath(chosen);
    };
    form.dialogs.posterSide = [this](QWidget*, int) { return posterSide; };
  }

  const QImage& shown() const { return form.Picture1->canvas().screen(); }
  // Until the surface's paint has composed what was drawn for the screen (a paint request may
  // wait for the screen's next frame).
  void waitUntilShown() {
    for (int waited = 0; form.Picture1->canvas().hasChanges() && waited < 5000; waited += 5) {
      QTest::qWait(5);
    }
    ASSERT_FALSE(form.Picture1->canvas().hasChanges()) << "the surface never painted";
  }
  void press(const QKeySequence& keys) {
    QTest::keySequence(QApplication::focusWidget(), keys);
    QApplication::processEvents();
  }
  QMessageBox* messageBox() const { return form.findChild<QMessageBox*>(); }

  ErrorRecorder errors;
  Form1 form;
  QTemporaryDir folder;
  QString chosen = QStringLiteral("bild.png");
  std::optional<int> posterSide = 685;
  QStringList titles;
  QStringList proposedNames;
};

TEST_F(PictureKeys, CtrlCCopiesWhatTheSurfaceShowsWithoutSwatchesAndFrame) {
  form.Picture1->canvas().Circle(0, 0, 30, platform::RGB(255, 255, 255));  // a sketch dot
  waitUntilShown();
  press(QKeySequence(Qt::CTRL | Qt::Key_C));
  const QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(copied.size(), QSize(685, 685));
  EXPECT_TRUE(copied == shown());
}

TEST_F(PictureKeys, CtrlCInATextBoxCopiesItsText) {
  QApplication::clipboard()->clear();
  form.txtParameter[4]->setFocus();
  form.txtParameter[4]->selectAll();
  press(QKeySequence(Qt::CTRL | Qt::Key_C));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("13750"));
  EXPECT_TRUE(QApplication::clipboard()->image().isNull());
}

TEST_F(PictureKeys, CtrlSSavesThePngOfWhatTheSurfaceShows) {
  press(QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_EQ(titles, QStringList{QStringLiteral("Bild speichern")});
  EXPECT_EQ(proposedNames, QStringList{QStringLiteral("Quirlbild 137,50° 200.png")});
  const QImage saved(folder.filePath(chosen), "png");
  EXPECT_TRUE(saved.convertToFormat(QImage::Format_RGB32) == shown());
  EXPECT_EQ(messageBox(), nullptr);
}

TEST_F(PictureKeys, AFileThatCannotBeWrittenIsNamedWithItsReasonAndTheWindowGoesOn) {
  chosen = QStringLiteral("fehlt/bild.png");
  press(QKeySequence(Qt::CTRL | Qt::Key_S));
  QMessageBox* const box = messageBox();
  ASSERT_NE(box, nullptr);
  // The path as the system writes it: with backslashes on Windows.
  EXPECT_EQ(box->text(), QStringLiteral("Die Datei „%1“ wurde nicht gespeichert. Den Ordner gibt "
                                        "es nicht.")
                             .arg(QDir::toNativeSeparators(folder.filePath(chosen))));
  EXPECT_FALSE(box->isModal() && box->windowModality() == Qt::ApplicationModal);
  EXPECT_TRUE(errors.numbers.empty());
  form.Command1->click();
  EXPECT_EQ(form.redrawCount(), 2);
}

TEST_F(PictureKeys, PosterAtTheSurfaceSizeIsWhatTheSurfaceShowsWithoutSketchDots) {
  const QImage before = shown();
  form.Picture1->canvas().Circle(0, 0, 30, platform::RGB(255, 255, 255));
  waitUntilShown();
  press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  EXPECT_EQ(titles, QStringList{QStringLiteral("Poster speichern")});
  const QImage saved(folder.filePath(chosen), "png");
  EXPECT_TRUE(saved.convertToFormat(QImage::Format_RGB32) == before);
}

// Qt's own file dialog, as the program runs it: the SVG filter chosen and a name typed without an
// extension give an .svg file.
TEST(SaveDialog, TheSvgFilterGivesANameWithoutExtensionTheSvgOne) {
  QTemporaryDir folder;
  QString filtersShown;
  QTimer::singleShot(0, [&] {
    QWidget* const modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    auto* types = dialog ? dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")) : nullptr;
    auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!types || !name) {
      ADD_FAILURE() << "no file dialog with a list of filters and a name box";
      if (modal) modal->close();
      return;
    }
    filtersShown = dialog->nameFilters().join('|');
    // The user picks the second filter from the list with the keyboard.
    QTest::keyClick(types, Qt::Key_Down);
    name->setText(folder.filePath(QStringLiteral("muster")));
    QTest::keyClick(name, Qt::Key_Return);
  });
  const QString path = window::chooseSaveFile(
      nullptr, QStringLiteral("Poster speichern"), QStringLiteral("Quirlbild.png"),
      {QStringLiteral("PNG-Bild (*.png)"), QStringLiteral("SVG-Vektorgrafik (*.svg)")});
  EXPECT_EQ(filtersShown, QStringLiteral("PNG-Bild (*.png)|SVG-Vektorgrafik (*.svg)"));
  EXPECT_EQ(path, folder.filePath(QStringLiteral("muster.svg")));
}

class PosterDialogSide : public testing::TestWithParam<int> {};

// The poster dialog opens with the side it is given, whatever it is within its range.
TEST_P(PosterDialogSide, OpensWithTheSideItIsGiven) {
  int shown = -1;
  QTimer::singleShot(0, [&] {
    QWidget* const modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<window::PosterDialog*>(modal);
    if (!dialog) {
      ADD_FAILURE() << "no poster dialog";
      if (modal) modal->close();
      return;
    }
    shown = dialog->findChild<QSpinBox*>()->value();
    dialog->accept();
  });
  EXPECT_EQ(window::askPosterSide(nullptr, GetParam()), GetParam());
  EXPECT_EQ(shown, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Sides, PosterDialogSide, testing::Values(16, 685, 4096, 5000, 16384));

struct CancelCase {
  const char* file;
  const char* row0;  // the texts of rows 0 and 2
  const char* row2;
  int side;
  int atStep;   // the bar's value (of its maximum 1000) from which on it is cancelled
  bool escape;  // by Escape, else by the indicator's button
};

class CancelledPoster : public PictureKeys, public testing::WithParamInterface<CancelCase> {};

TEST_P(CancelledPoster, WritesNothing) {
  form.txtParameter[0]->setText(QString::fromLatin1(GetParam().row0));
  form.txtParameter[2]->setText(QString::fromLatin1(GetParam().row2));
  chosen = QString::fromLatin1(GetParam().file);
  posterSide = GetParam().side;
  form.drawingProgress().setShowAfterMs(0);
  // Cancelled as soon as the indicator is up and its bar has got that far.
  QTimer cancel;
  int cancelledAt = -1;
  QObject::connect(&cancel, &QTimer::timeout, &form, [&] {
    QWidget* const indicator = form.drawingProgress().indicator();
    if (!indicator || cancelledAt >= 0) return;
    const int at = indicator->findChild<QProgressBar*>()->value();
    if (at < GetParam().atStep) return;
    cancelledAt = at;
    if (GetParam().escape) {
      QTest::keyClick(form.hscParameter[4], Qt::Key_Escape);
    } else {
      form.drawingProgress().cancelButton()->click();
    }
  });
  cancel.start(1);
  press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  cancel.stop();
  EXPECT_GE(cancelledAt, GetParam().atStep);
  EXPECT_EQ(form.Text1->text(), QStringLiteral("Poster abgebrochen, nichts gespeichert"));
  EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  EXPECT_EQ(messageBox(), nullptr);
}

// A large PNG is cancelled while it is drawn and while its rows are packed (past the middle, where
// only packing is left for the start values), a large SVG while its circles are written.
INSTANTIATE_TEST_SUITE_P(
    Formats, CancelledPoster,
    testing::Values(CancelCase{"poster.png", "200", "20", 8192, 0, false},
                    CancelCase{"poster.png", "200", "20", 8192, 600, false},
                    CancelCase{"poster.png", "200", "20", 8192, 900, true},
                    CancelCase{"poster.png", "1000000", "0.001", 2048, 100, true},
                    CancelCase{"poster.svg", "1000000", "0.001", 685, 0, false}));

// A drawing that ends in an overflow: the poster shows the circles up to it, as the surface does,
// and the error is reported as the surface's drawing reports it.
class PosterOfAnOverflow : public PictureKeys, public testing::WithParamInterface<const char*> {};

TEST_P(PosterOfAnOverflow, IsSavedInTheFormatOfItsNameAndTheErrorReported) {
  form.parameters.DivergenceAngle = 7e305;  // point 257 of the blue band overflows
  chosen = QString::fromLatin1(GetParam());
  press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  QFile saved(folder.filePath(chosen));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray start = saved.read(256);
  // A name ending in .svg, in any case, gives SVG; any other, PNG.
  if (chosen.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    EXPECT_TRUE(start.startsWith("<?xml") && start.contains("<svg")) << start.toStdString();
  } else {
    EXPECT_TRUE(start.startsWith("\x89PNG\r\n\x1a\n"));
  }
  EXPECT_EQ(errors.numbers, std::vector<int>{platform::RuntimeError::Overflow});
  EXPECT_EQ(messageBox(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Formats, PosterOfAnOverflow,
                         testing::Values("poster.png", "poster.svg", "POSTER.SVG", "poster.PNG"));

// The poster dialog proposes 4096 pixels at first, then the side chosen last, even when the file
// was not saved.
TEST_F(PictureKeys, PosterDialogProposes4096FirstThenTheLastSideChosen) {
  std::vector<int> proposed;
  form.dialogs.posterSide = [&proposed](QWidget*, int side) {
    proposed.push_back(side);
    return std::optional<int>(5000);
  };
  chosen.clear();  // the file dialog is cancelled
  press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  EXPECT_EQ(proposed, (std::vector<int>{4096, 5000}));
}

TEST_F(PictureKeys, CtrlSDuringALongDrawingOpensItsDialogAfterIt) {
  // Waiting events are looked at from the drawing's start, however soon it ends.
  form.drawingProgress().setShowAfterMs(0);
  bool pressedWhileDrawing = false;
  QTimer::singleShot(10, &form, [&] {
    pressedWhileDrawing = form.drawingProgress().hold().holding();
    press(QKeySequence(Qt::CTRL | Qt::Key_S));
  });
  bool dialogWhileDrawing = false;
  const auto choose = form.dialogs.saveFile;
  form.dialogs.saveFile = [&](QWidget* parent, const QString& title, const QString& proposed,
                              const QStringList& filters) {
    dialogWhileDrawing = form.drawingProgress().hold().holding();
    return choose(parent, title, proposed, filters);
  };
  form.txtParameter[2]->setText(QStringLiteral("0.0001"));
  form.txtParameter[0]->setText(QStringLiteral("3000000"));  // nine million points
  ASSERT_TRUE(pressedWhileDrawing);
  EXPECT_TRUE(titles.isEmpty());
  QApplication::processEvents();
  EXPECT_EQ(titles, QStringList{QStringLiteral("Bild speichern")});
  EXPECT_FALSE(dialogWhileDrawing);
  // Saved for the parameters of the drawing it waited for.
  EXPECT_EQ(proposedNames, QStringList{QStringLiteral("Quirlbild 137,50° 3000000.png")});
}

// F1 while a dialog holds the window (typed during a long drawing, say, and run once the dialog
// is up): help opens once the dialog is closed, where it can be used, and never covers it.
TEST_F(PictureKeys, F1WhileADialogIsOpenOpensHelpAfterIt) {
  bool helpWhileDialog = true;
  form.dialogs.saveFile = [&](QWidget* parent, const QString& title, const QString& proposed,
                              const QStringList& filters) {
    // Qt's own file dialog, answered with Escape once F1 has been pressed in it.
    QTimer::singleShot(0, &form, [&] {
      form.showHelp();
      QApplication::processEvents();
      helpWhileDialog = form.helpWindow() != nullptr;
      QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    });
    return window::chooseSaveFile(parent, title, proposed, filters);
  };
  press(QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_FALSE(helpWhileDialog);
  QApplication::processEvents();
  window::HelpWindow* const help = form.helpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // It works: its button closes it.
  help->findChild<QPushButton*>()->click();
  QApplication::processEvents();
  EXPECT_EQ(form.helpWindow(), nullptr);
}

TEST_F(PictureKeys, F1OpensHelpBesideTheWindowAndEscapeClosesIt) {
  press(QKeySequence(Qt::Key_F1));
  window::HelpWindow* const help = form.helpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_FALSE(help->isModal());
  for (const char* named : {"Strg+C", "Strg+S", "Strg+Umschalt+S", "Escape", "Tab", "Leertaste",
                            "GPL-3.0-or-later", "Winkel", "Zielfeld"}) {
    EXPECT_TRUE(help->text().contains(QString::fromUtf8(named))) << named;
  }
  QTest::keyClick(help, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(form.helpWindow(), nullptr);
}

}  // namespace
