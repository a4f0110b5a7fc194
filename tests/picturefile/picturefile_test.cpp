// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures as files: posters drawn afresh, SVG read back, files written whole or not at all.
#include "picturefile/picturefile.h"
#include "support/main_surface.h"
#include "support/test_names.h"
#include "support/wine.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <string>

#if defined(_WIN32)
#if !defined(NOMINMAX)
#define NOMINMAX
#endif
#include <windows.h>
#undef RGB  // windows.h's; the runtime's platform::RGB() is meant here
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using picturefile::WriteOutcome;
using picturefile::WriterResult;

struct Case {
  const char* name;
  pattern::ParameterSet parameters;  // PointTotal, PointSize, RadiusStep, Speed, DivergenceAngle
  platform::OleColor background;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

const Case kCases[] = {
    {"start values", {600, 2, 20, 0, 137.5}, platform::RGB(255, 255, 255)},
    {"large circles on yellow", {60, 200, 50, 0, 222.5}, platform::RGB(255, 255, 128)},
    {"a thousand million points on black", {3e9, 2, 20, 0, 137.5}, platform::RGB(0, 0, 0)},
};

class PictureOf : public testing::TestWithParam<Case> {
 protected:
  platform::Canvas drawnSurface(double scale = 1) const {
    platform::Canvas surface = mainSurface(0, scale);
    surface.setBackColor(GetParam().background);
    pattern::drawPattern(GetParam().parameters, surface);
    return surface;
  }
};

TEST_P(PictureOf, PosterOfThreeTimesTheSideIsTheSurfaceAtScreenScaleThree) {
  // What the surface shows now is not in the poster: it draws afresh.
  platform::Canvas surface = mainSurface();
  surface.setBackColor(GetParam().background);
  surface.Circle(0, 0, 50);
  const QImage poster = picturefile::drawPoster(GetParam().parameters, surface, 3 * 685, {});
  platform::Canvas atScaleThree = drawnSurface(3);
  atScaleThree.compose();
  ASSERT_EQ(poster.size(), QSize(2055, 2055));
  EXPECT_TRUE(poster == atScaleThree.screen());
}

// The PNG poster, drawn and packed band by band, read back by Qt's own reader (libpng).
QImage pngPosterOf(const pattern::ParameterSet& parameters, const platform::Canvas& surface,
                   int side, picturefile::PosterOptions options,
                   std::optional<platform::RuntimeError::Number>* error = nullptr) {
  QBuffer file;
  file.open(QIODevice::WriteOnly);
  const WriterResult result =
      picturefile::writePngPoster(file, parameters, surface, side, options, error);
  EXPECT_TRUE(result.ok);
  return QImage::fromData(file.data(), "png").convertToFormat(QImage::Format_RGB32);
}

TEST_P(PictureOf, PngPosterBandByBandIsThePosterDrawnWhole) {
  platform::Canvas surface = mainSurface();
  surface.setBackColor(GetParam().background);
  const QImage whole = picturefile::drawPoster(GetParam().parameters, surface, 1000, {});
  ASSERT_EQ(whole.size(), QSize(1000, 1000));
  // Bands of one row, of a few rows that circles cross, of rows that do not divide the poster's,
  // and the default of one band; on one thread and on every core.
  for (const auto& [rows, strips] : {std::pair{1, 1}, {7, 0}, {64, 1}, {333, 0}, {0, 0}}) {
    const QImage banded =
        pngPosterOf(GetParam().parameters, surface, 1000, {nullptr, strips, rows});
    EXPECT_TRUE(banded == whole) << rows << " rows a band";
  }
}

// Mean colour of 8 x 8 blocks: the two renderers antialias edges each their own way.
QImage blocks(const QImage& image) {
  return image.scaled(image.size() / 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_RGB32);
}

TEST_P(PictureOf, SvgReadBackShowsThePicture) {
  platform::Canvas surface = drawnSurface();
  QBuffer file;
  file.open(QIODevice::WriteOnly);
  const WriterResult result =
      picturefile::writeSvg(file, GetParam().parameters, surface, 685, nullptr);
  ASSERT_TRUE(result.ok);
  // A picture's worth of circles, however many points there are.
  EXPECT_LT(file.data().size(), 2'000'000);

  QSvgRenderer renderer(file.data());
  ASSERT_TRUE(renderer.isValid());
  QImage read(685, 685, QImage::Format_RGB32);
  read.fill(Qt::gray);
  QPainter painter(&read);
  renderer.render(&painter);
  painter.end();
  const QImage expected = blocks(surface.picture());
  const QImage got = blocks(read);
  int worst = 0;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb a = expected.pixel(x, y);
      const QRgb b = got.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                        std::abs(qBlue(a) - qBlue(b))});
    }
  }
  EXPECT_LE(worst, 48) << "the most a block's mean colour differs";
}

// The share of the pixels of `a` whose every channel lies within `tolerance` of `b`'s.
double shareAlike(const QImage& a, const QImage& b, int tolerance) {
  if (a.size() != b.size()) return 0;
  qint64 alike = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      alike += std::abs(qRed(p) - qRed(q)) <= tolerance &&
               std::abs(qGreen(p) - qGreen(q)) <= tolerance &&
               std::abs(qBlue(p) - qBlue(q)) <= tolerance;
    }
  }
  return static_cast<double>(alike) / (qint64{a.width()} * a.height());
}

TEST_P(PictureOf, SvgRenderedByLibrsvgIsThePngPosterOfThatSize) {
  const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
  if (rsvg.isEmpty()) GTEST_SKIP() << "rsvg-convert is not installed (scripts/install-deps)";
  const platform::Canvas surface = drawnSurface();
  QTemporaryDir folder;
  QFile svg(folder.filePath(QStringLiteral("poster.svg")));
  ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
  ASSERT_TRUE(picturefile::writeSvg(svg, GetParam().parameters, surface, 2055, nullptr).ok);
  svg.close();
  const QString rendered = folder.filePath(QStringLiteral("rendered.png"));
  QProcess convert;
  convert.start(rsvg, {QStringLiteral("-o"), rendered, svg.fileName()});
  ASSERT_TRUE(convert.waitForFinished(60000));
  ASSERT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
  const QImage read = QImage(rendered).convertToFormat(QImage::Format_RGB32);
  const QImage png = pngPosterOf(GetParam().parameters, surface, 2055, {});
  ASSERT_EQ(read.size(), QSize(2055, 2055));
  // Every circle in its place and of its size, outline included: only the antialiased edges,
  // which each renderer works out its own way, may differ much.
  EXPECT_GT(shareAlike(read, png, 24), 0.995);
  EXPECT_GT(shareAlike(blocks(read), blocks(png), 24), 0.999);
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureOf, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) {
                           return testNameOf(param.param.name);
                         });

// Hears of a poster's progress; stops it once the share done reaches `stopAt`.
class ProgressLog : public pattern::DrawMonitor {
 public:
  explicit ProgressLog(double stopAt = 2) : stopAt_(stopAt) {}
  bool keepGoing(double done) override {
    if (stopped) ++callsAfterStop;
    shares.push_back(done);
    stopped = stopped || done >= stopAt_;
    return !stopped;
  }
  std::vector<double> shares;
  bool stopped = false;
  int callsAfterStop = 0;

 private:
  double stopAt_;
};

TEST(PngPoster, ProgressCountsDrawingAndPackingAndMovesSteadily) {
  // Many small circles: the drawing is most of the work, which the packing follows.
  ProgressLog log;
  const QImage poster =
      pngPosterOf({300000, 2, 0.03, 0, 137.5}, mainSurface(), 2000, {&log, 0, 50});
  ASSERT_EQ(poster.size(), QSize(2000, 2000));
  ASSERT_GE(log.shares.size(), 40u);
  EXPECT_GT(log.shares.back(), 0.97);
  EXPECT_LE(log.shares.back(), 1.0);
  for (std::size_t k = 1; k < log.shares.size(); ++k) {
    EXPECT_GE(log.shares[k], log.shares[k - 1]) << k;
    EXPECT_LT(log.shares[k] - log.shares[k - 1], 0.1) << k;
  }
}

class PngPosterCancelled : public testing::TestWithParam<double> {};

TEST_P(PngPosterCancelled, StopsAtTheFirstNoAndTellsOfACancel) {
  ProgressLog log(GetParam());
  QBuffer file;
  file.open(QIODevice::WriteOnly);
  const WriterResult result =
      picturefile::writePngPoster(file, {600, 2, 20, 0, 137.5}, mainSurface(), 4096, {&log, 0, 64});
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(log.stopped);
  EXPECT_EQ(log.callsAfterStop, 0);
  EXPECT_LT(log.shares.back(), GetParam() + 0.05);
}

INSTANTIATE_TEST_SUITE_P(Shares, PngPosterCancelled, testing::Values(0.1, 0.5, 0.9));

TEST(Poster, TooLargeForMemoryIsNullNotHalfAPicture) {
  if (runsUnderWine()) {
    GTEST_SKIP() << "Wine takes seconds, beside other tests minutes, to refuse the 4 terabytes "
                    "that Windows' commit limit refuses at once";
  }
  EXPECT_TRUE(picturefile::drawPoster({600, 2, 20, 0, 137.5}, mainSurface(), 1 << 20, {}).isNull());
}

struct NameCase {
  pattern::ParameterSet parameters;
  const char* name;
};

class ProposedName : public testing::TestWithParam<NameCase> {};

TEST_P(ProposedName, SaysAngleAndCountTheGermanWay) {
  EXPECT_EQ(picturefile::proposedName(GetParam().parameters, QStringLiteral("png")).toStdString(),
            GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProposedName,
    testing::Values(NameCase{{600, 2, 20, 0, 137.5}, "Quirlbild 137,50° 200.png"},
                    NameCase{{3e6, 2, 20, 0, 0.01}, "Quirlbild 0,01° 1000000.png"},
                    NameCase{{22.5, 2, 20, 0, 179.96}, "Quirlbild 179,96° 7,5.png"}));

// Every file in `folder`, hidden ones too.
QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

WriterResult writeText(QIODevice& out) {
  out.write("neu");
  return WriterResult::success();
}

struct FailureCase {
  const char* name;
  const char* path;  // below the temporary folder, which holds a file "datei" and a folder "ordner"
  const char* reason;
};

class WriteWholeFails : public testing::TestWithParam<FailureCase> {};

TEST_P(WriteWholeFails, TellsWhyInGermanAndLeavesNothing) {
  QTemporaryDir folder;
  QFile file(folder.filePath(QStringLiteral("datei")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("alt");
  file.close();
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("ordner")));
  const WriteOutcome outcome =
      picturefile::writeWhole(folder.filePath(QString::fromUtf8(GetParam().path)), writeText);
  EXPECT_EQ(outcome.state, WriteOutcome::State::Failed);
  EXPECT_EQ(outcome.reason.toStdString(), GetParam().reason);
  EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("datei")});
  EXPECT_EQ(filesIn(folder.filePath(QStringLiteral("ordner"))), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WriteWholeFails,
    testing::Values(
        FailureCase{"missing folder", "fehlt/bild.png", "Den Ordner gibt es nicht."},
        FailureCase{"inside a file", "datei/bild.png", "Ein Teil des Pfades ist kein Ordner."},
        FailureCase{"onto a folder", "ordner", "Unter diesem Namen gibt es schon einen Ordner."},
        FailureCase{"name too long",
                    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                    "xxxxxxxxxxxxxxxxxxxxxxxxxxxx.png",
                    "Der Name ist zu lang."}),
    [](const testing::TestParamInfo<FailureCase>& param) { return testNameOf(param.param.name); });

#if !defined(_WIN32)
// Rights, links and name lengths as POSIX systems have them.
TEST(WriteWhole, ReadOnlyFolderIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  QTemporaryDir folder;
  ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0555), 0);
  const WriteOutcome outcome =
      picturefile::writeWhole(folder.filePath(QStringLiteral("bild.png")), writeText);
  ::chmod(QFile::encodeName(folder.path()).constData(), 0755);
  EXPECT_EQ(outcome.reason.toStdString(),
            "Dort darf nicht geschrieben werden (keine Berechtigung).");
  EXPECT_TRUE(filesIn(folder.path()).isEmpty());
}

#endif

// A writer that puts out half and then cancels or fails keeps the old file as it was.
class WriterStops : public testing::TestWithParam<bool> {};

TEST_P(WriterStops, OldFileStaysWholeAndNoTemporaryIsLeft) {
  const bool cancels = GetParam();
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("bild.png"));
  ASSERT_TRUE(picturefile::writeWhole(path, writeText).written());
  const WriteOutcome outcome = picturefile::writeWhole(path, [cancels](QIODevice& out) {
    out.write("halb");
    return cancels ? WriterResult::cancel() : WriterResult::failure(QStringLiteral("Kaputt."));
  });
  EXPECT_EQ(outcome.state, cancels ? WriteOutcome::State::Cancelled : WriteOutcome::State::Failed);
  if (!cancels) {
    EXPECT_EQ(outcome.reason, QStringLiteral("Kaputt."));
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("neu"));
  EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("bild.png")});
}

INSTANTIATE_TEST_SUITE_P(CancelledOrFailed, WriterStops, testing::Bool());

#if !defined(_WIN32)
struct RightsCase {
  const char* name;
  int existing;  // the rights of the file written over, or -1 for a new file
  mode_t mask;   // the umask while it is written
  unsigned expected;
  friend void PrintTo(const RightsCase& c, std::ostream* os) { *os << c.name; }
};

class WriteWholeRights : public testing::TestWithParam<RightsCase> {};

TEST_P(WriteWholeRights, NewFileGetsTheUsualOnesAndAnOldOneKeepsItsOwn) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("bild.png"));
  const QByteArray name = QFile::encodeName(path);
  if (GetParam().existing >= 0) {
    ASSERT_TRUE(picturefile::writeWhole(path, writeText).written());
    ASSERT_EQ(::chmod(name.constData(), static_cast<mode_t>(GetParam().existing)), 0);
  }
  const mode_t mask = ::umask(GetParam().mask);
  const WriteOutcome outcome = picturefile::writeWhole(path, writeText);
  ::umask(mask);
  ASSERT_TRUE(outcome.written());
  struct stat info {};
  ASSERT_EQ(::stat(name.constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Files, WriteWholeRights,
                         testing::Values(RightsCase{"new", -1, 022, 0644},
                                         RightsCase{"new_private", -1, 077, 0600},
                                         RightsCase{"private_kept", 0600, 022, 0600},
                                         RightsCase{"group_readable_kept", 0640, 077, 0640}),
                         [](const testing::TestParamInfo<RightsCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(WriteWhole, OverASymbolicLinkWritesTheFileItPointsAtAndKeepsTheLink) {
  QTemporaryDir folder;
  const QString target = folder.filePath(QStringLiteral("ordner/ziel.png"));
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("ordner")));
  QFile old(target);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("alt");
  old.close();
  // A link to a link to the file, the first one relative.
  const QString link = folder.filePath(QStringLiteral("link.png"));
  const QString linkToLink = folder.filePath(QStringLiteral("verweis.png"));
  ASSERT_EQ(::symlink("ordner/ziel.png", QFile::encodeName(link).constData()), 0);
  ASSERT_EQ(::symlink("link.png", QFile::encodeName(linkToLink).constData()), 0);
  ASSERT_TRUE(picturefile::writeWhole(linkToLink, writeText).written());
  QFile written(target);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(written.readAll(), QByteArray("neu"));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_TRUE(QFileInfo(linkToLink).isSymLink());
  EXPECT_EQ(filesIn(folder.path()),
            (QStringList{QStringLiteral("link.png"), QStringLiteral("verweis.png")}));
  EXPECT_EQ(filesIn(folder.filePath(QStringLiteral("ordner"))),
            QStringList{QStringLiteral("ziel.png")});
}

// Every name the file system takes is saved, up to its longest, although the temporary file's
// own name would be longer.
class WriteWholeLongName : public testing::TestWithParam<int> {};

TEST_P(WriteWholeLongName, IsSavedUnderThatName) {
  QTemporaryDir folder;
  const QString name = QString(GetParam() - 4, QLatin1Char('x')) + QStringLiteral(".png");
  ASSERT_TRUE(picturefile::writeWhole(folder.filePath(name), writeText).written());
  EXPECT_EQ(filesIn(folder.path()), QStringList{name});
}

INSTANTIATE_TEST_SUITE_P(Characters, WriteWholeLongName, testing::Values(248, 249, 255));

#else
// Windows: a file marked read-only, and one that another program holds open, are not written over,
// and the user is told why.
TEST(WriteWhole, ReadOnlyFileIsRefused) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("bild.png"));
  ASSERT_TRUE(picturefile::writeWhole(path, writeText).written());
  const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
  ASSERT_TRUE(SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_READONLY));
  const WriteOutcome outcome = picturefile::writeWhole(path, [](QIODevice& out) {
    out.write("anders");
    return WriterResult::success();
  });
  SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(outcome.reason.toStdString(), "Die Datei ist schreibgeschützt.");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("neu"));
  EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("bild.png")});
}

TEST(WriteWhole, FileHeldOpenElsewhereIsRefused) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("bild.png"));
  ASSERT_TRUE(picturefile::writeWhole(path, writeText).written());
  // Open as a program that lets others read it but neither write nor remove it.
  const HANDLE held =
      CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_READ,
                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const WriteOutcome outcome = picturefile::writeWhole(path, writeText);
  CloseHandle(held);
  EXPECT_EQ(outcome.reason.toStdString(), "Die Datei ist in einem anderen Programm geöffnet.");
  EXPECT_EQ(filesIn(folder.path()), QStringList{QStringLiteral("bild.png")});
}
#endif

}  // namespace
