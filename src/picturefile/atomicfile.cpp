// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturefile/atomicfile.h"

#include "picturefile/systemfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace picturefile {

namespace {

// The temporary file as a device that keeps the reason of a failed write.
class SystemFileDevice : public QIODevice {
 public:
  explicit SystemFileDevice(SystemFile& file) : file_(file) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  }
  const Failure& failure() const { return failure_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (failure_) return -1;
    failure_ = file_.write(data, size);
    return failure_ ? -1 : size;
  }

 private:
  SystemFile& file_;
  Failure failure_;
};

WriteOutcome failed(const QString& reason) {
  return {WriteOutcome::State::Failed, reason};
}

// The file that `path` names: a symbolic link is followed to its target, as far as it leads, so
// that saving over a link writes to the file it points at and the link stays.
QFileInfo fileNamedBy(const QString& path) {
  QFileInfo info(path);
  // As many links as the system itself follows before it gives up.
  constexpr int kMostLinks = 40;
  for (int link = 0; link < kMostLinks && info.isSymLink(); ++link) {
    info.setFile(info.symLinkTarget());
  }
  return info;
}

}  // namespace

QString reasonOf(int error) {
  switch (error) {
    case ENOENT:
      return QStringLiteral("Den Ordner gibt es nicht.");
    case ENOTDIR:
      return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case EACCES:
    case EPERM:
      return QStringLiteral("Dort darf nicht geschrieben werden (keine Berechtigung).");
    case EROFS:
      return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOSPC:
      return QStringLiteral("Auf dem Datenträger ist kein Platz mehr.");
#if defined(EDQUOT)
    case EDQUOT:
      return QStringLiteral("Das Speicherkontingent ist erschöpft.");
#endif
    case ENAMETOOLONG:
      return QStringLiteral("Der Name ist zu lang.");
    case EISDIR:
      return QStringLiteral("Unter diesem Namen gibt es schon einen Ordner.");
    case EIO:
      return QStringLiteral("Der Datenträger meldet einen Ein-/Ausgabefehler.");
    default:
      return QStringLiteral("Systemfehler %1 (%2).")
          .arg(error)
          .arg(QString::fromLocal8Bit(std::strerror(error)));
  }
}

QString notWrittenMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Die Datei „%1“ wurde nicht gespeichert. %2")
      .arg(QDir::toNativeSeparators(path), reason);
}

WriteOutcome writeWhole(const QString& path, const Writer& write) {
  if (QFileInfo(path).fileName().isEmpty()) return failed(QStringLiteral("Der Name ist leer."));
  const QFileInfo target = fileNamedBy(path);
  if (target.isDir()) return failed(reasonOf(EISDIR));
  const QFileInfo folder(target.absolutePath());
  if (!folder.exists()) {
    // A file where a folder should be, on the way to the folder, or no folder at all.
    for (QFileInfo up(folder.absolutePath()); !up.isRoot(); up.setFile(up.absolutePath())) {
      if (up.exists()) return failed(reasonOf(up.isDir() ? ENOENT : ENOTDIR));
    }
    return failed(reasonOf(ENOENT));
  }
  if (!folder.isDir()) return failed(reasonOf(ENOTDIR));
  // Told before the picture is made, not after.
  if (!nameFits(folder.absoluteFilePath(), target.fileName()))
    return failed(reasonOf(ENAMETOOLONG));

  SystemFile file;
  if (const Failure failure = file.create(folder.absoluteFilePath(), target.fileName())) {
    return failed(*failure);
  }
  WriterResult result;
  Failure failure;
  {
    SystemFileDevice device(file);
    result = write(device);
    failure = device.failure();
  }
  // The file goes, the target stays as it was.
  if (result.cancelled) return {WriteOutcome::State::Cancelled, {}};
  if (failure) return failed(*failure);
  if (!result.ok) return failed(result.reason);
  if (const Failure committed = file.commit(target.absoluteFilePath())) return failed(*committed);
  return {WriteOutcome::State::Written, {}};
}

}  // namespace picturefile
