// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturefile/atomicfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace picturefile {

namespace {

// A file descriptor as a device that remembers the system's error number of a failed write, so
// that the reason can be told in German.
class DescriptorDevice : public QIODevice {
 public:
  explicit DescriptorDevice(int fd) : fd_(fd) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  }
  int lastError() const { return error_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    qint64 done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, static_cast<std::size_t>(size - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : ENOSPC;
        return -1;
      }
      done += n;
    }
    return done;
  }

 private:
  int fd_;
  int error_ = 0;
};

WriteOutcome failed(const QString& reason) {
  return {WriteOutcome::State::Failed, reason};
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
    case EDQUOT:
      return QStringLiteral("Das Speicherkontingent ist erschöpft.");
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

namespace {

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

// The longest name, in bytes, that `folder` takes.
long longestNameIn(const QByteArray& folder) {
  const long longest = ::pathconf(folder.constData(), _PC_NAME_MAX);
  return longest > 0 ? longest : 255;
}

// A hidden name beside the target for the file being written: the target's own name where the
// folder takes a name that long, else a short one.
QByteArray temporaryName(const QByteArray& folder, const QByteArray& fileName, long longest) {
  const QByteArray own = "." + fileName + ".XXXXXX";
  return folder + "/" + (own.size() <= longest ? own : QByteArray(".quirlbild.XXXXXX"));
}

}  // namespace

WriteOutcome writeWhole(const QString& path, const Writer& write) {
  if (QFileInfo(path).fileName().isEmpty()) return failed(QStringLiteral("Der Name ist leer."));
  const QFileInfo target = fileNamedBy(path);
  if (target.isDir()) return failed(reasonOf(EISDIR));
  const QByteArray folder = QFile::encodeName(target.absolutePath());
  struct stat folderStat {};
  if (::stat(folder.constData(), &folderStat) != 0) return failed(reasonOf(errno));
  if (!S_ISDIR(folderStat.st_mode)) return failed(reasonOf(ENOTDIR));
  const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
  const QByteArray fileName = QFile::encodeName(target.fileName());
  const long longest = longestNameIn(folder);
  // Told before the picture is made, not after.
  if (fileName.size() > longest) return failed(reasonOf(ENAMETOOLONG));

  // In the same folder, so that the rename cannot cross file systems.
  QByteArray temporary = temporaryName(folder, fileName, longest);
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return failed(reasonOf(errno));
  // mkstemp makes the file private. A file written over keeps its rights; a new one gets the
  // usual rights of a new file.
  struct stat existing {};
  mode_t mode = 0;
  if (::stat(targetName.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);

  // Gives up: the temporary file goes, the target stays as it was.
  bool descriptorOpen = true;
  const auto giveUp = [&](WriteOutcome outcome) {
    if (descriptorOpen) ::close(fd);
    ::unlink(temporary.constData());
    return outcome;
  };
  WriterResult result;
  int error = 0;
  {
    DescriptorDevice device(fd);
    result = write(device);
    error = device.lastError();
  }
  if (result.cancelled) return giveUp({WriteOutcome::State::Cancelled, {}});
  if (!result.ok || error != 0) {
    return giveUp(failed(error != 0 ? reasonOf(error) : result.reason));
  }
  // Each reason is taken from errno before giveUp() runs.
  if (::fsync(fd) != 0) return giveUp(failed(reasonOf(errno)));
  descriptorOpen = false;
  if (::close(fd) != 0) return giveUp(failed(reasonOf(errno)));
  if (::rename(temporary.constData(), targetName.constData()) != 0) {
    return giveUp(failed(reasonOf(errno)));
  }
  return {WriteOutcome::State::Written, {}};
}

}  // namespace picturefile
