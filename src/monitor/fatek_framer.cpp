// Fatek: STX ... checksum ETX. Up to 30 bytes of anything else before an STX are claimed as a
// failed packet; a frame is valid when its two hex digits before the ETX give the sum of the
// bytes before them and its sixth byte is "0".
#include "monitor/framer_scan_internal.h"
#include "monitor/framers.h"
#include "util/hex.h"

namespace kestrova {
namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr size_t kMaxGarbage = 30;
constexpr size_t kShortestValidFrame = 9;

// A frame of `length` bytes ending in ETX; `sum` is that of all bytes before the ETX.
bool ValidFrame(const FramerScan& scan, size_t length, int64_t sum) {
  if (length < kShortestValidFrame) return false;
  const uint8_t high = scan.at(length - 3);
  const uint8_t low = scan.at(length - 2);
  const int high_value = HexDigitValue(static_cast<char>(high), -1);
  const int low_value = HexDigitValue(static_cast<char>(low), -1);
  if (high_value < 0 || low_value < 0) return false;
  const int64_t checksum = (sum - high - low) & 0xFF;
  return checksum == high_value * 16 + low_value && scan.at(5) == '0';
}

}  // namespace

void FrameFatek(VMurDistributor_ChannelRecord& rec) {
  FramerScan scan(rec, FramerOwner(static_cast<int>(Protocol::kFatek)));
  if (scan.size() == 0) return;
  // Looking for the STX takes at most 31 bytes, so it is done afresh each time.
  for (size_t i = 0; i < scan.size(); ++i) {
    if (scan.at(i) == kStx) {
      if (i == 0) break;
      Claim(rec, i, false);
      return;
    }
    if (i >= kMaxGarbage) {
      Claim(rec, kMaxGarbage, false);
      return;
    }
  }
  int64_t& sum = scan.value(0);  // of the bytes before the next one to examine
  size_t i = scan.next();
  if (scan.fresh()) {
    sum = scan.at(0);
    i = 1;
  }
  for (; i < scan.size(); ++i) {
    if (scan.at(i) == kEtx) {
      scan.StopAt(i);
      Claim(rec, i + 1, ValidFrame(scan, i + 1, sum));
      return;
    }
    sum = (sum + scan.at(i)) & 0xFF;
  }
  scan.StopAt(i);
}

}  // namespace kestrova
