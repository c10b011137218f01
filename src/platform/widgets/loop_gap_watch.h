// Measures how long the GUI thread stays away from its event loop: a fine timer notes the
// longest gap between its ticks and reports each new longest, and every gap of 20 ms or more,
// on standard error.
// The program runs one when KESTROVA_LOOP_GAPS is set, to check that busy traffic never
// freezes the window.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace kestrova {

class LoopGapWatch {
 public:
  LoopGapWatch();
  // Prints "kestrova: longest event-loop gap <n> ms".
  ~LoopGapWatch();
  LoopGapWatch(const LoopGapWatch&) = delete;
  LoopGapWatch& operator=(const LoopGapWatch&) = delete;

  qint64 LongestGapMs() const { return longest_ms_; }

 private:
  QTimer timer_;
  QElapsedTimer since_start_;
  QElapsedTimer since_tick_;
  qint64 longest_ms_ = 0;
};

}  // namespace kestrova
