// SPDX-License-Identifier: GPL-3.0-or-later
// The program built for Windows as its installer puts it on a Windows desktop: installed silently
// into a Wine prefix of its own, run on Windows' own platform plugin in a real window on a private
// X display, driven with xdotool, and uninstalled. The installer is the first argument.
#include "support/real_window.h"
#include "support/xvfb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

using namespace realwindow;

namespace {

QString gSkipReason;   // set where Xvfb, xdotool, Wine or the installer cannot be had
QString gInstaller;    // the installer's path on this machine
QTemporaryDir* gHome;  // the Wine prefix and the files the program saves

constexpr platform::OleColor kWhite = 0x00FFFFFF;
// The same renderer as the expectation, compiled by another compiler against another C library's
// sine: a few pixels of antialiasing may differ by more than a little.
constexpr double kTolerance = 0.0005;

QString prefix() {
  return gHome->filePath(QStringLiteral("prefix"));
}
QString programFolder() {
  return prefix() + QStringLiteral("/drive_c/Program Files/Quirlbild");
}
QString startMenuFolder() {
  return prefix() +
         QStringLiteral("/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quirlbild");
}
const char* const kUninstallKey =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quirlbild";

// Every Wine command of the run: one prefix and one display, so that one wineserver serves them.
QProcessEnvironment wineEnvironment(const QStringList& programVariables = {}) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("WINEPREFIX"), prefix());
  environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
  environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
  // Wine hands the program only variables named WINE..., without that prefix.
  for (const QString& variable : programVariables) {
    environment.insert(QStringLiteral("WINE") + variable.section('=', 0, 0),
                       variable.section('=', 1));
  }
  return environment;
}

// Runs `program` (wine, wineserver) with the run's Wine environment and returns its exit code, or
// -1 where it did not end in time.
int runWine(const QString& program, const QStringList& arguments, int timeoutMs = 60000) {
  // Wine's services outlive the command that starts them and keep what output it lends them: a
  // pipe of this process's own, not the output of the test run, which would stay open.
  QProcess process;
  process.setProcessEnvironment(wineEnvironment());
  process.start(program, arguments);
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished(5000);
    return -1;
  }
  return process.exitCode();
}

int wine(const QStringList& arguments, int timeoutMs = 60000) {
  return runWine(QStringLiteral("wine"), arguments, timeoutMs);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(100);
  }
  return true;
}

// The installed program in a window of its own, moved to the screen's top-left corner and made
// large enough for every control to show (there is no window manager, so no frame).
class InstalledProgram {
 public:
  explicit InstalledProgram(const QStringList& programVariables = {}) {
    process_.setProcessEnvironment(wineEnvironment(programVariables));
    process_.setWorkingDirectory(programFolder());
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start(QStringLiteral("wine"), {QStringLiteral("quirlbild.exe")});
    EXPECT_TRUE(process_.waitForStarted(10000));
    QString id;
    EXPECT_EQ(
        run(QStringLiteral("timeout"),
            {"60", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quirlbild$"}, &id),
        0)
        << "the window did not appear";
    window_ = id.section('\n', 0, 0);
    xdotool({"windowmove", window_, "0", "0"});
    xdotool({"windowsize", window_, "1040", "720"});
    QThread::msleep(500);
  }
  ~InstalledProgram() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  InstalledProgram(const InstalledProgram&) = delete;
  InstalledProgram& operator=(const InstalledProgram&) = delete;

  QImage surface() const { return screenPixels(surfaceRect()); }

  // Waits until the surface shows `expected` within antialiasing, up to 20 seconds.
  bool shows(const QImage& expected, double* share) const {
    *share = 1;
    return waitUntil(
        [&] {
          *share = differingShare(surface(), expected);
          return *share <= kTolerance;
        },
        20000);
  }

  bool endsWithin(int ms) { return process_.waitForFinished(ms); }
  int exitCode() const { return process_.exitCode(); }

 private:
  QProcess process_;
  QString window_;
};

class Windows : public testing::Test {
 protected:
  void SetUp() override {
    if (!gSkipReason.isEmpty()) GTEST_SKIP() << gSkipReason.toStdString();
  }
};

TEST_F(Windows, TheInstallerPutsProgramLibrariesPluginsAndStartMenuEntryInPlace) {
  for (const char* file :
       {"quirlbild.exe", "Uninstall.exe", "LICENSE", "Qt6Core.dll", "Qt6Gui.dll", "Qt6Widgets.dll",
        "libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll", "platforms/qwindows.dll",
        "styles/qwindowsvistastyle.dll", "imageformats/qico.dll", "translations/qtbase_de.qm"}) {
    EXPECT_TRUE(QFile::exists(programFolder() + '/' + QString::fromLatin1(file))) << file;
  }
  EXPECT_TRUE(QFile::exists(startMenuFolder() + QStringLiteral("/Quirlbild.lnk")));
  EXPECT_EQ(wine({"reg", "query", QString::fromLatin1(kUninstallKey)}), 0)
      << "no entry among the installed programs";
}

// The start pattern on Windows' own platform plugin, a click on the angle bar's arrow that
// redraws, and Ctrl+S saving what the surface shows as a PNG, read back here by Qt's own reader.
TEST_F(Windows, TheInstalledProgramDrawsRedrawsOnABarClickAndSavesAPng) {
  InstalledProgram program;
  pattern::ParameterSet p{600, 2, 20, 0, 137.5};
  double share = 1;
  EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "start pattern: " << share;

  click(rightArrowOf(4));
  p.DivergenceAngle = 137.51;
  EXPECT_TRUE(program.shows(expectedSurface(p, kWhite), &share)) << "angle arrow: " << share;

  // The white swatch takes the focus, so that Ctrl+S is not a text box's.
  click(surfaceRect().topLeft() + QPoint(13, 13));
  QThread::msleep(300);
  xdotool({"key", "ctrl+s"});
  ASSERT_TRUE(windowShown(QStringLiteral("Bild speichern"), 30));
  QThread::msleep(500);
  // Wine's file box has the proposed name selected at first, but Ctrl+A does not select in it.
  const QString saved = gHome->filePath(QStringLiteral("bild.png"));
  xdotool({"key", "End", "shift+Home", "BackSpace"});
  xdotool({"type", "--delay", "20", QStringLiteral("Z:") + QString(saved).replace('/', '\\')});
  QThread::msleep(300);
  xdotool({"key", "Return"});
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(saved); }, 20000)) << "nothing saved";
  QThread::msleep(500);
  const QImage read = QImage(saved, "png").convertToFormat(QImage::Format_RGB32);
  const QImage expected = expectedSurface(p, kWhite);
  ASSERT_EQ(read.size(), expected.size());
  EXPECT_LE(differingShare(read, expected), kTolerance);

  // "beenden" ends the program.
  click(centreOf("Command5"));
  EXPECT_TRUE(program.endsWithin(20000));
  EXPECT_EQ(program.exitCode(), 0);
}

// Runs last: the uninstaller removes what the installer put in place.
TEST_F(Windows, TheUninstallerLeavesNothingBehind) {
  ASSERT_EQ(
      wine({QDir::toNativeSeparators(programFolder() + QStringLiteral("/Uninstall.exe")), "/S"}),
      0);
  // The uninstaller works on from a copy of itself once the first one has ended.
  EXPECT_TRUE(waitUntil([] { return !QDir(programFolder()).exists(); }, 30000))
      << QDir(programFolder())
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
             .join(' ')
             .toStdString();
  EXPECT_FALSE(QDir(startMenuFolder()).exists());
  EXPECT_NE(wine({"reg", "query", QString::fromLatin1(kUninstallKey)}), 0);
}

QString prepare() {
  if (gInstaller.isEmpty() || !QFile::exists(gInstaller)) {
    return QStringLiteral("no installer given (make test-windows builds and gives it)");
  }
  if (QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty()) {
    return QStringLiteral("Wine is not installed (scripts/install-deps windows)");
  }
  if (wine({"wineboot", "-i"}, 120000) != 0) return QStringLiteral("wineboot failed");
  if (wine({QDir::toNativeSeparators(QFileInfo(gInstaller).absoluteFilePath()), "/S"}, 120000) !=
      0) {
    return QStringLiteral("the silent installation failed");
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc > 1) gInstaller = QString::fromLocal8Bit(argv[1]);
  // Wine wants a display of its own for each prefix; Xvfb sets DISPLAY for it.
  std::optional<Xvfb> xvfb;
  xvfb.emplace(2200, 1500);
  gSkipReason = xvfb->skipReason();
  qputenv("QT_QPA_PLATFORM", gSkipReason.isEmpty() ? "xcb" : "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir home;
  gHome = &home;
  if (gSkipReason.isEmpty()) gSkipReason = prepare();
  const int result = RUN_ALL_TESTS();
  if (QFile::exists(prefix())) runWine(QStringLiteral("wineserver"), {"-k"});
  return result;
}
