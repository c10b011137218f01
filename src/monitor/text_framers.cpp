// The framers whose packets end at the first byte of a kind: Base64, Text and TextRN.
#include <algorithm>

#include "monitor/framer_scan_internal.h"
#include "monitor/framers.h"

namespace kestrova {

void FrameBase64(VMurDistributor_ChannelRecord& rec) {
  FramerScan scan(rec, FramerOwner(static_cast<int>(Protocol::kBase64)), HeadMove::kContinue);
  size_t i = std::max<size_t>(scan.next(), 1);
  for (; i < scan.size(); ++i) {
    if (scan.at(i) >= 0x80) {
      scan.StopAt(i);
      Claim(rec, i, true);
      return;
    }
  }
  scan.StopAt(std::min(i, scan.size()));
}

void FrameText(VMurDistributor_ChannelRecord& rec) {
  FramerScan scan(rec, FramerOwner(static_cast<int>(Protocol::kText)), HeadMove::kContinue);
  size_t i = std::max<size_t>(scan.next(), 1);
  for (; i < scan.size(); ++i) {
    if (IsLineEnd(scan.at(i - 1)) && !IsLineEnd(scan.at(i))) {
      scan.StopAt(i);
      Claim(rec, i, true);
      return;
    }
  }
  scan.StopAt(std::min(i, scan.size()));
}

void FrameTextRN(VMurDistributor_ChannelRecord& rec, uint8_t delimiter) {
  FramerScan scan(rec, FramerOwner(static_cast<int>(Protocol::kTextRN), delimiter),
                  HeadMove::kContinue);
  size_t i = std::max<size_t>(scan.next(), 1);
  for (; i < scan.size(); ++i) {
    if (scan.at(i) == '\n' || scan.at(i) == delimiter) {
      scan.StopAt(i);
      Claim(rec, i + 1, true);
      return;
    }
  }
  scan.StopAt(std::min(i, scan.size()));
}

}  // namespace kestrova
