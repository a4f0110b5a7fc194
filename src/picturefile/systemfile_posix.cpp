// SPDX-License-Identifier: GPL-3.0-or-later
// The temporary file on POSIX systems: mkstemp beside the target, fsync, rename.
#include "picturefile/systemfile.h"

#include <QFile>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace picturefile {

namespace {

// The longest name, in bytes, that `folder` takes.
long longestNameIn(const QByteArray& folder) {
  const long longest = ::pathconf(folder.constData(), _PC_NAME_MAX);
  return longest > 0 ? longest : 255;
}

}  // namespace

bool nameFits(const QString& folder, const QString& fileName) {
  return QFile::encodeName(fileName).size() <= longestNameIn(QFile::encodeName(folder));
}

Failure SystemFile::create(const QString& folder, const QString& fileName) {
  const QByteArray folderName = QFile::encodeName(folder);
  // The target's own name, hidden, where the folder takes a name that long, else a short one.
  QByteArray own = "." + QFile::encodeName(fileName) + ".XXXXXX";
  if (own.size() > longestNameIn(folderName)) own = ".quirlbild.XXXXXX";
  QByteArray temporary = folderName + "/" + own;
  fd_ = ::mkstemp(temporary.data());
  if (fd_ < 0) return reasonOf(errno);
  path_ = QFile::decodeName(temporary);
  // mkstemp makes the file private. A file written over keeps its rights; a new one gets the
  // usual rights of a new file.
  struct stat existing {};
  mode_t mode = 0;
  if (::stat(QFile::encodeName(folder + "/" + fileName).constData(), &existing) == 0 &&
      S_ISREG(existing.st_mode)) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd_, mode);
  return {};
}

Failure SystemFile::write(const char* data, long long size) {
  long long done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, static_cast<std::size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return reasonOf(n < 0 ? errno : ENOSPC);
    done += n;
  }
  return {};
}

Failure SystemFile::commit(const QString& target) {
  // Each reason is taken from errno before discard() runs.
  if (::fsync(fd_) != 0) {
    const Failure failure = reasonOf(errno);
    discard();
    return failure;
  }
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) {
    const Failure failure = reasonOf(errno);
    discard();
    return failure;
  }
  if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) != 0) {
    const Failure failure = reasonOf(errno);
    discard();
    return failure;
  }
  path_.clear();
  return {};
}

void SystemFile::discard() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  if (!path_.isEmpty()) ::unlink(QFile::encodeName(std::exchange(path_, {})).constData());
}

}  // namespace picturefile
