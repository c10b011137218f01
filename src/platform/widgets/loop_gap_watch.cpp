#include "platform/widgets/loop_gap_watch.h"

#include <algorithm>
#include <cstdio>

namespace kestrova {

LoopGapWatch::LoopGapWatch() {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    const qint64 gap = since_tick_.restart();
    if (gap <= longest_ms_) return;
    longest_ms_ = gap;
    // Said at once as well: a program ended by a signal never reaches the destructor.
    std::fprintf(stderr, "kestrova: event-loop gap %lld ms at %.1f s, the longest so far\n",
                 static_cast<long long>(gap), static_cast<double>(since_start_.elapsed()) / 1000);
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
