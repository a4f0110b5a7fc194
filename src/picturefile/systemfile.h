// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that speaks to the operating system's files: a temporary file beside the target,
// written, put on the disk and moved over the target in one step, or given up. Every failure is
// told as a German sentence. One implementation for POSIX systems, one for Windows.
#pragma once

#include <QString>

#include <optional>

namespace picturefile {

// A German reason, or none when the step worked.
using Failure = std::optional<QString>;

class SystemFile {
 public:
  SystemFile() = default;
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;
  // A file made but neither put in place nor given up goes.
  ~SystemFile() { discard(); }

  // Makes a new, hidden file in `folder` (an existing folder) for the file `fileName` there, with
  // the rights that file has, or those of a new file when there is none. Refuses a file that may
  // not be written over.
  Failure create(const QString& folder, const QString& fileName);
  // Writes all of `size` bytes.
  Failure write(const char* data, long long size);
  // Puts what was written on the disk, closes the file and moves it over `target`, replacing
  // what is there in one step.
  Failure commit(const QString& target);
  // Closes the file and removes it.
  void discard();

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE is never kept
#else
  int fd_ = -1;
#endif
  QString path_;  // empty once the file is in place or gone
};

// Whether `folder` takes a file of that name, as long as it is.
bool nameFits(const QString& folder, const QString& fileName);

// The reason for an errno value, in German: the same words on every system.
QString reasonOf(int error);

}  // namespace picturefile
