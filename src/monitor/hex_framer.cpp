// Hex: a packet ends with the frame delimiter (not in first place, where it starts the next
// packet), or before a run of three plus signs; a later delimiter replaces a plus-sign end.
#include <algorithm>

#include "monitor/framer_scan_internal.h"
#include "monitor/framers.h"

namespace kestrova {

void FrameHex(VMurDistributor_ChannelRecord& rec, uint8_t delimiter) {
  FramerScan scan(rec, FramerOwner(static_cast<int>(Protocol::kHex), delimiter),
                  HeadMove::kContinue);
  if (scan.size() == 0) return;
  int64_t& plus_run = scan.value(0);
  // Plus signs count from the head: a head that moved into the run shortens it.
  plus_run = std::min<int64_t>(plus_run, static_cast<int64_t>(scan.next()));
  // A run of three plus signs always gives a claim, which moves the head: so the end it gives
  // never has to outlive this call.
  size_t plus_end = 0;
  size_t i = scan.next();
  if (scan.fresh()) {
    plus_run = scan.at(0) == '+' ? 1 : 0;
    i = 1;
  }
  for (; i < scan.size(); ++i) {
    const uint8_t b = scan.at(i);
    if (b == delimiter) {
      scan.StopAt(i);
      Claim(rec, i + 1, true);
      return;
    }
    if (b != '+') {
      plus_run = 0;
    } else if (++plus_run == 3) {
      // Three plus signs at the very start are a packet of their own.
      plus_end = i == 2 ? 3 : i - 2;
    }
  }
  scan.StopAt(i);
  if (plus_end > 0) {
    // The head moves into what was scanned, to the plus signs themselves: they must be seen
    // again from there.
    scan.Forget();
    Claim(rec, plus_end, true);
  }
}

}  // namespace kestrova
