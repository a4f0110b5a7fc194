// SPDX-License-Identifier: GPL-3.0-or-later
// A PNG poster drawn and packed band by band: the drawing of one band and the packing of the one
// before it run on different cores, and memory holds two bands, however large the poster.
#include "picturefile/picturefile.h"
#include "picturefile/pngencoder.h"
#include "raster/screenimage.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace picturefile {

namespace {

// How long the drawing's thread waits for the packer before it looks at the monitor again: well
// within the tenth of a second in which a cancel must act.
constexpr auto kLookAgain = std::chrono::milliseconds(20);
// Rows packed between two reports to the drawing's thread.
constexpr int kRowsBetweenReports = 16;
// A new band's memory taken between two looks at the monitor.
constexpr int kPreparedBytes = 4 << 20;

// Packs the rows of the bands handed to it, in order, on a thread of its own.
class Packer {
 public:
  Packer(QSize size, QRgb back) : encoder_(size), back_(back), width_(size.width()) {
    thread_ = std::thread([this] { run(); });
  }
  ~Packer() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  Packer(const Packer&) = delete;
  Packer& operator=(const Packer&) = delete;

  // Rows [first, end) of the area of `band`, which stays untouched until inUse() says no more.
  void pack(const platform::Canvas& band, int first, int end) {
    {
      const std::lock_guard lock(mutex_);
      jobs_.push_back({&band, first, end});
    }
    changed_.notify_all();
  }

  // Waits a little for `ready` (called under the lock), then hands on the bytes packed so far.
  bool waitFor(const std::function<bool()>& ready, QByteArray& bytes) {
    std::unique_lock lock(mutex_);
    const bool done = changed_.wait_for(lock, kLookAgain, [&] { return failed_ || ready(); });
    bytes += std::exchange(bytes_, {});
    return done;
  }
  bool inUse(const platform::Canvas& band) const {
    return std::any_of(jobs_.begin(), jobs_.end(),
                       [&](const Job& job) { return job.band == &band; });
  }
  bool idle() const { return jobs_.empty(); }
  // Read while waiting, under the lock, or after the packer has been waited for.
  int rowsPacked() const { return rowsPacked_; }
  double packSeconds() const { return packNanoseconds_ / 1e9; }
  bool failed() const { return failed_.load(); }

 private:
  struct Job {
    const platform::Canvas* band;
    int first;
    int end;
  };

  void run() {
    std::vector<QRgb> row(static_cast<std::size_t>(width_));
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (stopping_) return;
        job = jobs_.front();
      }
      const QImage& layer = job.band->drawing();
      QElapsedTimer packing;
      packing.start();
      bool ok = true;
      for (int y = job.first; y < job.end && ok;) {
        const int reportAt = std::min(job.end, y + kRowsBetweenReports);
        for (; y < reportAt && ok; ++y) {
          const auto* pixels =
              reinterpret_cast<const QRgb*>(layer.constScanLine(y - job.band->firstRow()));
          platform::composeRow(pixels, back_, row.data(), width_);
          ok = encoder_.addRow(row.data());
        }
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
        bytes_ += encoder_.takeBytes();
        rowsPacked_ = encoder_.rowsAdded();
        failed_ = !ok;
      }
      packNanoseconds_ += packing.nsecsElapsed();
      {
        const std::lock_guard lock(mutex_);
        jobs_.pop_front();
      }
      changed_.notify_all();
      if (!ok) return;
    }
  }

  PngEncoder encoder_;
  const QRgb back_;
  const int width_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;  // the first is being packed
  QByteArray bytes_;      // packed, not yet handed on
  int rowsPacked_ = 0;
  qint64 packNanoseconds_ = 0;        // written by the packer, read once it has stopped
  std::atomic<bool> failed_ = false;  // read between two waits too, without the lock
  bool stopping_ = false;
  std::thread thread_;
};

// Tells the whole job's monitor of a band's drawing, and writes what the packer has done.
class BandMonitor : public pattern::DrawMonitor {
 public:
  explicit BandMonitor(std::function<bool(double)> keepGoing) : keepGoing_(std::move(keepGoing)) {}
  bool keepGoing(double done) override { return keepGoing_(done); }

 private:
  std::function<bool(double)> keepGoing_;
};

}  // namespace

QSize posterSize(const platform::Canvas& surface, int side) {
  const QSize shown = surface.size();
  if (shown.isEmpty() || side <= 0) return {};
  const double ratio = static_cast<double>(side) / shown.width();
  return {side, static_cast<int>(std::lround(shown.height() * ratio))};
}

WriterResult writePngPoster(QIODevice& out, const pattern::ParameterSet& parameters,
                            const platform::Canvas& surface, int side, const PosterOptions& options,
                            std::optional<platform::RuntimeError::Number>* error) {
  const QSize size = posterSize(surface, side);
  if (size.isEmpty()) return WriterResult::failure(QStringLiteral("Das Bild ist leer."));
  const double ratio = static_cast<double>(side) / surface.size().width();
  const double devicePixelRatio = surface.devicePixelRatio() * ratio;
  const int bandRows = std::clamp(
      options.bandRows > 0 ? options.bandRows : kBandBytes / (4 * size.width()), 1, size.height());
  const QString noMemory = QStringLiteral("Für ein Bild dieser Größe fehlt der Arbeitsspeicher.");
  // Two bands: one drawn while the other is packed. The second is made when it is needed.
  std::vector<platform::Canvas> bands;
  bands.reserve(2);  // the packer holds on to a band: it must not move

  Packer packer(size, platform::toQColor(surface.BackColor()).rgb() | 0xFF000000);
  QByteArray bytes;
  bool writeFailed = false;
  const auto writeOut = [&] {
    if (!bytes.isEmpty() && !writeFailed) writeFailed = out.write(bytes) != bytes.size();
    bytes.clear();
  };
  // The whole job is each row drawn and each row packed.
  int rowsDrawn = 0;
  int rowsPacked = 0;
  const double wholeJob = 2.0 * size.height();
  const auto keepGoing = [&](double bandDone) {
    writeOut();
    const double done = (rowsDrawn + bandDone * bandRows + rowsPacked) / wholeJob;
    return !writeFailed && (!options.monitor || options.monitor->keepGoing(std::min(done, 1.0)));
  };
  // Waits for the packer until `ready`; false when the job is to stop.
  const auto waitFor = [&](const std::function<bool()>& ready) {
    for (;;) {
      const bool done = packer.waitFor(
          [&] {
            rowsPacked = packer.rowsPacked();
            return ready();
          },
          bytes);
      if (packer.failed()) return false;
      if (!keepGoing(0)) return false;
      if (done) return true;
    }
  };
  BandMonitor bandMonitor(keepGoing);

  // Why the job ended early: a write that failed, the packer's zlib out of memory, or a cancel.
  const auto stopped = [&] {
    if (writeFailed) return WriterResult::failure();
    if (packer.failed()) return WriterResult::failure(noMemory);
    return WriterResult::cancel();
  };
  // A new band's memory is taken a slice at a time, the monitor asked between slices.
  const int rowsPrepared = std::max(1, kPreparedBytes / (4 * size.width()));
  const auto prepare = [&](platform::Canvas& band) {
    for (int row = 0; row < bandRows; row += rowsPrepared) {
      band.prepareRows(row, row + rowsPrepared);
      if (!keepGoing(0)) return false;
    }
    return true;
  };
  for (int first = 0, band = 0; first < size.height(); first += bandRows, band = 1 - band) {
    if (band == static_cast<int>(bands.size())) {
      bands.push_back(surface.bandLike(size, devicePixelRatio, bandRows));
      if (bands.back().drawing().isNull()) return WriterResult::failure(noMemory);
      if (!prepare(bands.back())) return stopped();
    }
    platform::Canvas& canvas = bands[static_cast<std::size_t>(band)];
    if (!waitFor([&] { return !packer.inUse(canvas); })) return stopped();
    canvas.moveBandTo(first);
    QElapsedTimer drawing;
    drawing.start();
    const auto timed = qScopeGuard([&] {
      if (options.work) options.work->drawSeconds += drawing.nsecsElapsed() / 1e9;
    });
    try {
      pattern::drawPattern(parameters, canvas, {&bandMonitor, options.strips});
    } catch (const platform::RuntimeError& raised) {
      // Every band ends in the same error after the same circles, as the surface's drawing does.
      if (error) *error = raised.number();
    } catch (const platform::Interrupted&) {
      return stopped();
    }
    const int end = std::min(first + bandRows, size.height());
    packer.pack(canvas, first, end);
    rowsDrawn = end;
  }
  if (!waitFor([&] { return packer.idle(); })) return stopped();
  if (options.work) options.work->packSeconds = packer.packSeconds();
  writeOut();
  return writeFailed ? WriterResult::failure() : WriterResult::success();
}

}  // namespace picturefile
