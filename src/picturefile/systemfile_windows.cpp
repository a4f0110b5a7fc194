// SPDX-License-Identifier: GPL-3.0-or-later
// The temporary file on Windows: a new hidden file beside the target, FlushFileBuffers, and
// MoveFileExW, which replaces an existing file in one step.
#include "picturefile/systemfile.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <string>
#include <utility>

#if !defined(NOMINMAX)
#define NOMINMAX
#endif
#include <windows.h>

namespace picturefile {

namespace {

// The longest name, in UTF-16 code units, that a Windows folder takes.
constexpr int kLongestName = 255;

std::wstring nativeOf(const QString& path) {
  return QDir::toNativeSeparators(path).toStdWString();
}

QString reasonOfWindows(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return QStringLiteral("Den Ordner gibt es nicht.");
    case ERROR_ACCESS_DENIED:
      return QStringLiteral("Dort darf nicht geschrieben werden (keine Berechtigung).");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return QStringLiteral("Die Datei ist in einem anderen Programm geöffnet.");
    case ERROR_WRITE_PROTECT:
      return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return QStringLiteral("Auf dem Datenträger ist kein Platz mehr.");
    case ERROR_FILENAME_EXCED_RANGE:
      return QStringLiteral("Der Name ist zu lang.");
    case ERROR_INVALID_NAME:
      return QStringLiteral("Der Name enthält Zeichen, die Windows nicht erlaubt.");
    default: {
      wchar_t* text = nullptr;
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
                     reinterpret_cast<wchar_t*>(&text), 0, nullptr);
      const QString said = text ? QString::fromWCharArray(text).trimmed() : QString();
      LocalFree(text);
      return QStringLiteral("Systemfehler %1 (%2).").arg(error).arg(said);
    }
  }
}

Failure lastFailure() {
  return reasonOfWindows(GetLastError());
}

}  // namespace

bool nameFits(const QString&, const QString& fileName) {
  return fileName.size() <= kLongestName;
}

Failure SystemFile::create(const QString& folder, const QString& fileName) {
  const std::wstring target = nativeOf(folder + QLatin1Char('/') + fileName);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return QStringLiteral("Die Datei ist schreibgeschützt.");
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A file that another program holds open cannot be replaced: told now, not once the
    // picture is made.
    const HANDLE probe = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return lastFailure();
    CloseHandle(probe);
  }
  // The target's own name, hidden, where the folder takes a name that long, else a short one.
  const QString stem = QStringLiteral(".") + fileName + QStringLiteral(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString suffix =
        QString::number(QRandomGenerator::global()->bounded(1u << 30), 36).rightJustified(6, '0');
    const QString name = stem.size() + suffix.size() <= kLongestName
                             ? stem + suffix
                             : QStringLiteral(".quirlbild.") + suffix;
    const QString path = folder + QLatin1Char('/') + name;
    const HANDLE handle = CreateFileW(nativeOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = handle;
      path_ = path;
      return {};
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return lastFailure();
  }
  return lastFailure();
}

Failure SystemFile::write(const char* data, long long size) {
  long long done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<long long>(size - done, 1 << 30));
    DWORD written = 0;
    if (!WriteFile(handle_, data + done, chunk, &written, nullptr)) return lastFailure();
    if (written == 0) return reasonOfWindows(ERROR_DISK_FULL);
    done += written;
  }
  return {};
}

Failure SystemFile::commit(const QString& target) {
  // Each reason is taken before discard() runs.
  const auto giveUp = [this] {
    const Failure failure = lastFailure();
    discard();
    return failure;
  };
  if (!FlushFileBuffers(handle_)) return giveUp();
  if (!CloseHandle(std::exchange(handle_, nullptr))) return giveUp();
  // The file written is not to stay hidden or temporary once it is the target.
  const std::wstring from = nativeOf(path_);
  SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExW(from.c_str(), nativeOf(target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return giveUp();
  }
  path_.clear();
  return {};
}

void SystemFile::discard() {
  if (handle_) CloseHandle(std::exchange(handle_, nullptr));
  if (!path_.isEmpty()) DeleteFileW(nativeOf(std::exchange(path_, {})).c_str());
}

}  // namespace picturefile
