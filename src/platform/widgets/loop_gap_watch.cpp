#include "platform/widgets/loop_gap_watch.h"

#include <algorithm>
#include <cstdio>

namespace kestrova {
namespace {

constexpr qint64 kReportedGapMs = 20;

}  // namespace

LoopGapWatch::LoopGapWatch() {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    const qint64 gap = since_tick_.restart();
    const bool longest = gap > longest_ms_;
    if (!longest && gap < kReportedGapMs) return;
    longest_ms_ = std::max(longest_ms_, gap);
    // Said at once as well: a program ended by a signal never reaches the destructor. Every
    // long gap is said with its time, so one at start-up does not hide those under traffic.
    std::fprintf(stderr, "kestrova: event-loop gap %lld ms at %.1f s%s\n",
                 static_cast<long long>(gap), static_cast<double>(since_start_.elapsed()) / 1000,
                 longest ? ", the longest so far" : "");
  });
  since_start_.start();
  since_tick_.start();
  timer_.start();
}

LoopGapWatch::~LoopGapWatch() {
  std::fprintf(stderr, "kestrova: longest event-loop gap %lld ms\n",
               static_cast<long long>(longest_ms_));
}

}  // namespace kestrova
