// Fatek: STX ... checksum ETX. Up to 30 bytes of anything else before an STX are claimed as a
// failed packet; a frame is valid when its two hex digits before the ETX give the sum of the
// bytes before them and its sixth byte is "0".
#include "monitor/framer_scan_internal.h"
#include "monitor/framers.h"

namespace kestrova {
namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr size_t kMaxGarbage = 30;
constexpr size_t kShortestValidFrame = 9;

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A frame of `length` bytes ending in ETX; `sum` is that of all bytes before the ETX.
bool ValidFrame(const FramerScan& scan, size_t length, int64_t sum) {
  if (length < kShortestValidFrame) return false;
  const uint8_t high = scan.at(length - 3);
  const uint8_t low = scan.at(length - 2);
  if (HexDigit(high) < 0 || HexDigit(low) < 0) return false;
  const int64_t checksum = (sum - high - low) & 0xFF;
  return checksum == HexDigit(high) * 16 + HexDigit(low) && scan.at(5) == '0';
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
