// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing a plan: pieces of circles, their positions computed and their discs drawn in strips,
// one strip a thread, every strip drawing every circle of a piece in order.
#include "pattern/renderer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace pattern {

namespace {

// How long drawing takes on one thread, in nanoseconds as measured here: a circle costs its
// position and placement and a little for each row it spans; the pixels a piece of circles
// changes cost more, but a piece changes no more pixels than the surface has, however many
// circles it draws over one another.
constexpr double kCircleCost = 150;
constexpr double kRowCost = 2;
constexpr double kPixelCost = 0.25;
// Work between two calls of the monitor: a few milliseconds.
constexpr double kWorkBetweenChecks = 4e6;
// Circles computed and drawn as one piece.
constexpr long long kMostDiscs = 65536;
// Below this much work a drawing stays on one thread: starting and meeting the others would
// cost more than they save.
constexpr double kWorkForThreads = 4e6;

// Where `count` threads wait for one another, again and again. Not std::barrier: MinGW's
// libstdc++ builds it on a wait that never wakes under Wine (seen: a drawing in two strips
// that hung), and a mutex and a condition wake alike on every system.
class Meeting {
 public:
  explicit Meeting(int count) : count_(count) {}
  void arriveAndWait() {
    std::unique_lock lock(mutex_);
    const unsigned long round = round_;
    if (++arrived_ == count_) {
      arrived_ = 0;
      ++round_;
      lock.unlock();
      everyone_.notify_all();
      return;
    }
    everyone_.wait(lock, [&] { return round_ != round; });
  }

 private:
  const int count_;
  int arrived_ = 0;
  unsigned long round_ = 0;  // meetings so far
  std::mutex mutex_;
  std::condition_variable everyone_;
};

int cores() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Threads that run one piece of work on every strip at once, one thread for each core, the
// caller being one of them. Each takes the strips of its turn: the caller strip 0, the next
// thread strip 1, and round again while strips are left.
class Crew {
 public:
  explicit Crew(int members) : members_(members), start_(members), done_(members) {
    for (int member = 1; member < members; ++member) {
      threads_.emplace_back([this, member] { serve(member); });
    }
  }
  ~Crew() {
    stopping_.store(true, std::memory_order_relaxed);
    if (members_ > 1) start_.arriveAndWait();
    for (std::thread& thread : threads_) thread.join();
  }
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;

  // Runs work(strip) for each of `strips` strips, and returns when all are done.
  void run(int strips, const std::function<void(int)>& work) {
    if (members_ == 1) {
      for (int strip = 0; strip < strips; ++strip) work(strip);
      return;
    }
    work_ = &work;
    strips_ = strips;
    start_.arriveAndWait();
    shareOf(0);
    done_.arriveAndWait();
  }

  // The calling thread's crew, as many as the processor has cores, kept from drawing to drawing
  // (the animation draws thousands a second). Kept until the program ends, not the thread: on
  // Windows a thread's own storage goes while the system holds a lock that the crew's threads
  // need to end, so joining them there never returns.
  static Crew& ofThisThread() {
    static std::mutex mutex;
    static std::map<std::thread::id, std::unique_ptr<Crew>> kept;
    const std::lock_guard lock(mutex);
    std::unique_ptr<Crew>& crew = kept[std::this_thread::get_id()];
    if (!crew) {
      crew = std::make_unique<Crew>(cores());
    }
    return *crew;
  }

 private:
  void shareOf(int member) {
    for (int strip = member; strip < strips_; strip += members_) (*work_)(strip);
  }
  void serve(int member) {
    for (;;) {
      start_.arriveAndWait();
      if (stopping_.load(std::memory_order_relaxed)) return;
      shareOf(member);
      done_.arriveAndWait();
    }
  }

  const int members_;
  Meeting start_;
  Meeting done_;
  // Handed over by the meeting.
  const std::function<void(int)>* work_ = nullptr;
  int strips_ = 0;
  std::atomic<bool> stopping_ = false;
  std::vector<std::thread> threads_;
};

// A piece: the plan's circles numbered `first` up to `end` in drawing order.
struct Piece {
  long long first = 0;
  long long end = 0;
  long long count() const { return end - first; }
};

// Writes the discs of circles [first, end) to `out`, which holds the piece from `pieceFirst`.
void positionsOf(const DrawingPlan& plan, const ParameterSet& parameters, long long first,
                 long long end, long long pieceFirst, platform::Disc* out) {
  long long spanFirst = 0;  // number of the span's first circle
  for (int s = 0; s < plan.spanCount && first < end; ++s) {
    const DrawingPlan::Span& span = plan.spans[s];
    const long long spanEnd = spanFirst + span.count;
    if (first < spanEnd) {
      const long long to = std::min(end, spanEnd);
      const platform::OleColor fill = kBandColors[span.band];
      discsAlong(loopIndex(span.from, first - spanFirst), to - first, parameters.DivergenceAngle,
                 parameters.RadiusStep, fill, out + (first - pieceFirst));
      first = to;
    }
    spanFirst = spanEnd;
  }
}

// Strip `strip`'s share of the piece's positions: each strip computes a part of them.
void positionShare(const DrawingPlan& plan, const ParameterSet& parameters, const Piece& piece,
                   platform::Disc* out, int strip, int strips) {
  const long long first = piece.first + piece.count() * strip / strips;
  const long long end = piece.first + piece.count() * (strip + 1) / strips;
  positionsOf(plan, parameters, first, end, piece.first, out);
}

// What a plan leaves when all of it is drawn: the fill colour it ends with, and the error it
// ran into, which ends the drawing.
void finishPlan(const DrawingPlan& plan, platform::DrawingSurface& surface) {
  if (plan.fillAtEnd) surface.setFillColor(*plan.fillAtEnd);
  if (plan.error) throw platform::RuntimeError(*plan.error);
}

}  // namespace

void drawPattern(const ParameterSet& parameters, platform::DrawingSurface& surface,
                 const DrawOptions& options) {
  surface.Cls();
  const DrawingPlan plan = planDrawing(parameters, surface);
  const long long circles = plan.circles();
  if (circles == 0) {
    finishPlan(plan, surface);
    return;
  }

  const QRectF visible = surface.visibleArea();
  const double perUnit = surface.devicePixelsPerUnit();
  const double surfaceRows = visible.height() * perUnit;
  const double surfacePixels = visible.width() * surfaceRows;
  const double side = 2 * double{plan.radius} * perUnit + 3;
  const double perCircle = kCircleCost + kRowCost * std::min(side, surfaceRows);
  const auto workOf = [&](long long count) {
    const double n = static_cast<double>(count);
    return n * perCircle + kPixelCost * std::min(n * side * side, surfacePixels);
  };
  // The most circles a piece may hold to stay within the work between checks.
  long long most = 1;
  for (long long step = kMostDiscs; step > 0; step /= 2) {
    if (most + step <= kMostDiscs && workOf(most + step) <= kWorkBetweenChecks) most += step;
  }
  most = std::min(most, circles);
  const long long pieces = (circles + most - 1) / most;
  const double totalWork =
      static_cast<double>(pieces - 1) * workOf(most) + workOf(circles - (pieces - 1) * most);

  int strips = options.strips;
  if (strips <= 0) {
    strips = totalWork >= kWorkForThreads ? cores() : 1;
  }
  strips = std::clamp(strips, 1, surface.maxStrips());

  // Two pieces' discs, reused from drawing to drawing. The crew's threads reach them through
  // `discs`, not by name: each thread has buffers of its own.
  thread_local std::array<std::vector<platform::Disc>, 2> buffers;
  platform::Disc* discs[2];
  for (int b = 0; b < 2; ++b) {
    buffers[b].resize(static_cast<std::size_t>(most));
    discs[b] = buffers[b].data();
  }
  Crew* const crew = strips > 1 ? &Crew::ofThisThread() : nullptr;
  const auto pieceAfter = [&](long long first) {
    return Piece{first, std::min(circles, first + most)};
  };

  surface.beginStrips(strips, reachOf(plan, parameters, visible));
  Piece current = pieceAfter(0);
  if (crew) {
    crew->run(strips, [&](int strip) {
      positionShare(plan, parameters, current, discs[0], strip, strips);
    });
  } else {
    positionShare(plan, parameters, current, discs[0], 0, 1);
  }
  // Each strip draws the whole piece in order while the positions of the next piece are
  // computed, a share by each strip's thread.
  int which = 0;
  double workDone = 0;
  for (;;) {
    const Piece next = pieceAfter(current.end);
    const std::span<const platform::Disc> drawn(discs[which],
                                                static_cast<std::size_t>(current.count()));
    platform::Disc* const following = discs[1 - which];
    if (crew) {
      crew->run(strips, [&](int strip) {
        surface.drawDiscs(drawn, plan.radius, strip);
        positionShare(plan, parameters, next, following, strip, strips);
      });
    } else {
      // One strip, on this thread: the redraws of the animation and of most clicks.
      surface.drawDiscs(drawn, plan.radius, 0);
      positionShare(plan, parameters, next, following, 0, 1);
    }
    workDone += workOf(current.count());
    if (next.count() == 0) break;
    if (options.monitor && !options.monitor->keepGoing(workDone / totalWork)) {
      surface.endStrips();
      surface.setFillColor(drawn.back().fill);
      throw platform::Interrupted();
    }
    current = next;
    which = 1 - which;
  }
  surface.endStrips();
  finishPlan(plan, surface);
}

}  // namespace pattern
