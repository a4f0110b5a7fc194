// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a file whole or not at all: the bytes go to a temporary file beside the target, which
// is renamed over the target only once it is complete and on the disk. An existing file is never
// left half-written, and a write that fails or is cancelled leaves nothing behind.
#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <utility>

namespace picturefile {

struct WriteOutcome {
  enum class State { Written, Cancelled, Failed };
  State state = State::Failed;
  QString reason;  // why it failed, in German, as a sentence
  bool written() const { return state == State::Written; }
};

// What a writer reports: the bytes went out, it was cancelled, or it failed for `reason` (German;
// empty when the device's own error says it).
struct WriterResult {
  bool ok = true;
  bool cancelled = false;
  QString reason;

  static WriterResult success() { return {}; }
  static WriterResult cancel() { return {false, true, {}}; }
  static WriterResult failure(QString why = {}) { return {false, false, std::move(why)}; }
};
using Writer = std::function<WriterResult(QIODevice& out)>;

// Writes what `write` puts out to `path`, whole or not at all.
WriteOutcome writeWhole(const QString& path, const Writer& write);

// The message for a file that was not written, naming it and the reason.
QString notWrittenMessage(const QString& path, const QString& reason);

}  // namespace picturefile
