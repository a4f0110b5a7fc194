// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its controls, the window-level state and every event handler.
#pragma once

#include "controls/controls.h"
#include "controls/framepacer.h"
#include "controls/picturebox.h"
#include "pattern/parameters.h"
#include "runtime/throttle.h"
#include "window/description.h"
#include "window/drawingprogress.h"
#include "window/layout.h"
#include "window/picturedialogs.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace window {

class Form1 : public QWidget {
  Q_OBJECT
 public:
  // Builds every control from the window definition, then runs Form_Load, so the first pattern
  // is drawn before the window is shown.
  explicit Form1(QWidget* parent = nullptr);

  // The controls, named as in the window definition; the window owns them.
  platform::PictureBox* Picture1 = nullptr;
  QPushButton* Command1 = nullptr;  // "zeigen"
  QPushButton* Command2 = nullptr;  // "löschen"
  QPushButton* Command3 = nullptr;  // "lauf"
  QPushButton* Command4 = nullptr;  // "stop"
  QPushButton* Command5 = nullptr;  // "beenden"
  std::array<platform::TextBox*, 6> txtParameter{};
  std::array<platform::ScrollBar*, 5> hscParameter{};
  std::array<QLabel*, 6> lblParameter{};
  platform::PictureBox* picZiel = nullptr;
  std::array<platform::PictureBox*, 7> Picture2{};
  QLineEdit* Text1 = nullptr;

  // Window-level state.
  pattern::ParameterSet parameters;
  bool SketchActive = false;
  bool TargetActive = false;
  std::int16_t StopRequested = 0;  // -1 asks a running animation to end

  // True once the program is ending (quit button or the window closed); running animations
  // return without another step.
  bool isEnding() const { return ending_; }

  // How many times the drawing surface has been redrawn; tells tests how often the chain ran.
  int redrawCount() const { return redraws_; }

  // The progress of long drawings.
  DrawingProgress& drawingProgress() { return progress_; }

  // One turn of the animation: let waiting events run, step the angle bar (wrapping it to 0 just
  // before its maximum), idle by the speed. Returns false, before the step, when the program is
  // ending or when a cancel has ended the runs under way: the count of cancels is no longer
  // `cancelledBefore`, as it was when the run began.
  bool animationTurn(int cancelledBefore);
  bool animationTurn() { return animationTurn(runsCancelled_); }

  // Event handlers. Mouse positions are in the control's user units.
  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void hscParameter_Change(int index);
  void txtParameter_Change(int index);
  void picZiel_MouseDown(int button, int shift, float x, float y);
  void picZiel_MouseMove(int button, int shift, float x, float y);
  void picZiel_MouseUp(int button, int shift, float x, float y);
  void Picture1_MouseDown(int button, int shift, float x, float y);
  void Picture1_MouseMove(int button, int shift, float x, float y);
  void Picture1_MouseUp(int button, int shift, float x, float y);
  void Picture2_Click(int index);

  // The picture leaves the window. Ctrl+C (where the focus is not in a text box) copies what the
  // drawing surface shows to the clipboard; Ctrl+S saves it as PNG; Ctrl+Shift+S saves a poster,
  // PNG drawn afresh at a chosen size or SVG; F1 opens the help window.
  void copyPicture();
  void savePicture();
  void savePoster();
  void showHelp();
  // The help window while it is open, else null.
  HelpWindow* helpWindow() const { return help_; }

  // The dialogs those keys open; tests put their own in.
  struct Dialogs {
    std::function<QString(QWidget* parent, const QString& title, const QString& proposedName,
                          const QStringList& filters)>
        saveFile = chooseSaveFile;
    std::function<std::optional<int>(QWidget* parent, int side)> posterSide = askPosterSide;
  };
  Dialogs dialogs;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createControls();
  // Sets the named members (Picture1, txtParameter, ...) from the built table, once.
  void bindNamedControls();
  QWidget* createControl(const ControlDef& def, QWidget* container);
  QWidget* control(Control id) const { return controls_[static_cast<std::size_t>(id)]; }
  template <typename Widget>
  Widget* controlAs(Control id) const {
    return static_cast<Widget*>(control(id));
  }
  void connectHandlers();
  // The drawing surface's accessible description tells what it shows: after each drawing, a
  // clearing and a change of background. Screen readers hear of a change at most once a second,
  // the latest state last.
  enum class Picture { Drawn, Stopped, Empty };
  void describePicture(Picture shown);
  void publishDescription();
  void ReadParameters();
  // Sets `row`'s scroll bar from a target-pad coordinate (0 to 100).
  void mapToRow(int row, float coordinate);
  // Tells the user, without holding the window, that `path` was not written and why.
  void reportNotSaved(const QString& path, const QString& reason);

  std::array<QWidget*, kControlCount> controls_{};  // owned by the window, by table row
  bool ending_ = false;
  platform::FramePacer* pacer_ = new platform::FramePacer(this);
  int redraws_ = 0;
  int runningAnimations_ = 0;
  int runsCancelled_ = 0;  // how often a cancel has ended the animations under way
  Picture shown_ = Picture::Empty;
  // At most one description a second, the latest state last.
  platform::Throttle describing_{[] { return 1000; }, platform::Throttle::Hold::Always,
                                 [this] {
                                   if (describing_.request()) publishDescription();
                                 }};
  DrawingProgress progress_{this};
  int posterSide_ = 4096;  // the side asked for last, in pixels
  QPointer<HelpWindow> help_;
  bool helpAfterDialog_ = false;  // F1 came while a dialog held the window
};

// Busy passes of the animation's idle wait between two turns for a speed number: more speed,
// less wait. Any speed above 100 means none; a count too large for 32 bits is capped.
std::int64_t delayPasses(double speed);

}  // namespace window
