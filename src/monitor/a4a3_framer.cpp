// A4A3: a packet ends with $A3, before an $A4, or at a line end (taking an $A3 that follows it
// within two bytes); at most 300 bytes. Its packets are never valid.
#include "monitor/framer_scan_internal.h"
#include "monitor/framers.h"

namespace kestrova {
namespace {
constexpr uint8_t kStart = 0xA4;
constexpr uint8_t kEnd = 0xA3;
constexpr size_t kLongest = 300;
}  // namespace

void FrameA4A3(VMurDistributor_ChannelRecord& rec) {
  FramerScan scan(rec, FramerOwner(static_cast<int>(Protocol::kA4A3)));
  const size_t length = scan.size();
  for (size_t i = scan.next(); i < length; ++i) {
    const size_t p = i + 1;  // the packet length if it ends with this byte
    const uint8_t b = scan.at(i);
    size_t end = 0;
    if (b == kEnd) {
      end = p;
    } else if (b == kStart && p > 1) {
      end = p - 1;
    } else if (IsLineEnd(b)) {
      if (p == length) {
        end = p;
      } else if (scan.at(i + 1) == kEnd) {
        end = p + 1;
      } else if (p + 2 <= length && scan.at(i + 2) == kEnd) {
        end = p + 2;
      } else if (!IsLineEnd(scan.at(i + 1))) {
        end = p;
      }
    }
    if (end == 0 && p > kLongest) end = p - 1;
    if (end != 0) {
      scan.StopAt(i);
      Claim(rec, end, false);
      return;
    }
  }
  // Nothing here waits for more bytes: a line end as the last byte ends a packet at once, so
  // every byte examined is decided.
  scan.StopAt(length);
}

}  // namespace kestrova
