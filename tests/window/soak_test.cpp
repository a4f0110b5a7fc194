// SPDX-License-Identifier: GPL-3.0-or-later
// A long random run of user actions on the real widgets: nothing may crash, hang, raise past an
// entry point or grow without bound. QUIRLBILD_SOAK_ACTIONS sets the count (5000 by default).
#include "support/error_recorder.h"
#include "support/turn_script.h"
#include "window/form1.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <random>

using window::Form1;

namespace {

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

class Soak {
 public:
  explicit Soak(Form1& form) : form_(form) {}

  void act(int depth = 0) {
    switch (pick(12)) {
      case 0:
        form_.Command1->click();
        break;
      case 1:
        form_.Command2->click();
        break;
      case 2:
        if (depth < 3) run(depth);
        break;
      case 3:
        form_.Command4->click();
        break;
      case 4:
      case 5:
        scroll();
        break;
      case 6:
      case 7:
        type();
        break;
      case 8:
        pad();
        break;
      case 9:
        sketch();
        break;
      case 10:
        QTest::mouseClick(form_.Picture2[pick(7)], Qt::LeftButton);
        break;
      case 11:
        form_.Text1->setText(randomText());
        break;
    }
  }

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  float coordinate() { return std::uniform_real_distribution<float>(-20, 120)(random_); }

  void run(int depth) {
    // Runs here are fast: a speed above 100 has no idle wait.
    form_.txtParameter[3]->setText(QStringLiteral("400"));  // as if typed
    // Two turns with a random action each, then "stop" in the third.
    const auto nested = [this, depth] { act(depth + 1); };
    TurnScript script({{1, nested}, {2, nested}, {3, [this] { form_.Command4->click(); }}});
    form_.Command3->click();
  }

  void scroll() {
    platform::ScrollBar* bar = form_.hscParameter[pick(5)];
    static constexpr std::array kActions = {
        QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
        QAbstractSlider::SliderPageStepAdd,   QAbstractSlider::SliderPageStepSub,
        QAbstractSlider::SliderToMinimum,     QAbstractSlider::SliderToMaximum};
    if (pick(4) == 0) {
      bar->setSliderDown(true);
      bar->setSliderPosition(bar->minimum() + pick(bar->maximum() - bar->minimum() + 1));
      bar->setSliderDown(false);
    } else {
      bar->triggerAction(kActions[pick(kActions.size())]);
    }
  }

  QString randomText() {
    static const std::array<const char*, 16> kTexts = {
        "1e308",  "-1e308", "1e309", "1e-400", "99999999999", "-",     ".", "1e",
        " 13751", "abc",    "2.5",   "-4",     "0",           "137,5", "",  "1000000000"};
    if (pick(3) > 0) return QString::fromLatin1(kTexts[pick(kTexts.size())]);
    QString text;
    const int length = pick(12);
    for (int k = 0; k < length; ++k) text += QLatin1Char("0123456789.-+eE ,x"[pick(18)]);
    return text;
  }

  void type() {
    platform::TextBox* box = form_.txtParameter[pick(6)];
    // Row 3 sets the idle wait between animation turns; huge negative speeds would only make
    // the soak slow, not find anything.
    if (box == form_.txtParameter[3]) box = form_.txtParameter[5];
    if (pick(2) == 0) box->selectAll();
    QTest::keyClicks(box, randomText());
    if (pick(4) == 0) QTest::keyClick(box, Qt::Key_Backspace);
  }

  // Mouse handlers called as the picture boxes' signals call them: each one an entry point.
  void pad() {
    const int button = 1 << pick(3);
    const float x = std::uniform_real_distribution<float>(0, 99.9f)(random_);
    const float y = std::uniform_real_distribution<float>(0, 99.9f)(random_);
    platform::runEvent([&] { form_.picZiel_MouseDown(button, 0, x, y); });
    for (int k = pick(5); k > 0; --k) {
      const float mx = coordinate();
      const float my = coordinate();
      platform::runEvent([&] { form_.picZiel_MouseMove(button, 0, mx, my); });
    }
    if (pick(5) > 0) platform::runEvent([&] { form_.picZiel_MouseUp(button, 0, 0, 0); });
  }

  void sketch() {
    platform::runEvent([&] { form_.Picture1_MouseDown(1, 0, 0, 0); });
    for (int k = pick(8); k > 0; --k) {
      const float mx = coordinate() * 2 - 100;
      const float my = coordinate() * 2 - 100;
      platform::runEvent([&] { form_.Picture1_MouseMove(1, 0, mx, my); });
    }
    if (pick(5) > 0) platform::runEvent([&] { form_.Picture1_MouseUp(1, 0, 0, 0); });
  }

  Form1& form_;
  std::mt19937 random_{20261208};
};

TEST(Soak, RandomUserActionsNeitherCrashNorLeakNorRaise) {
  const int actions = qEnvironmentVariableIsSet("QUIRLBILD_SOAK_ACTIONS")
                          ? qEnvironmentVariableIntValue("QUIRLBILD_SOAK_ACTIONS")
                          : 5000;
  ErrorRecorder errors;
  Form1 form;
  Soak soak(form);
  const int warmUp = std::min(actions / 10, 2000);
  for (int k = 0; k < warmUp; ++k) soak.act();
  const long before = residentKiB();
  for (int k = warmUp; k < actions; ++k) soak.act();
  const long after = residentKiB();

#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer keeps freed memory in quarantine
  EXPECT_LT(after - before, 16 * 1024)
      << "resident memory grew from " << before << " to " << after << " KiB";
#endif
  for (int number : errors.numbers) EXPECT_EQ(number, platform::RuntimeError::Overflow);
  std::printf("%d actions, %zu runtime errors shown, resident %ld -> %ld KiB\n", actions,
              errors.numbers.size(), before, after);
}

}  // namespace
