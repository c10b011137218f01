// What the terminal's bytes become on the wire, for every protocol: the data survive whole
// (less only the terminator where a protocol drops it), and an A4A3 frame carries its length,
// its first byte and a checksum that add up.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "monitor/send_encoding.h"

using kestrova::Protocol;

namespace {

void CheckA4A3(std::string_view bytes, const std::string& frame) {
  if (bytes.empty()) {
    FUZZ_CHECK(frame.empty());
    return;
  }
  const auto at = [&frame](size_t i) { return static_cast<uint8_t>(frame[i]); };
  const size_t n = bytes.size();
  const bool at_command = n > 1 && (bytes[0] | 0x20) == 'a' && (bytes[1] | 0x20) == 't';
  FUZZ_CHECK(frame.size() == (at_command ? n + 4 : n + 3) && at(0) == 0xAA);
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < frame.size(); ++i) sum = static_cast<uint8_t>(sum + at(i));
  FUZZ_CHECK(sum == at(frame.size() - 1));
  if (at_command) {
    FUZZ_CHECK(at(1) == n % 256 && at(2) == (n / 256 + 232) % 256);
    FUZZ_CHECK(std::string_view(frame).substr(3, n) == bytes);
  } else {
    FUZZ_CHECK(at(1) == (n - 1) % 256);
    FUZZ_CHECK(static_cast<uint8_t>(at(2) - (n - 1) / 256) == static_cast<uint8_t>(bytes[0]));
    FUZZ_CHECK(std::string_view(frame).substr(3, n - 1) == bytes.substr(1));
  }
}

}  // namespace

// Input: a flags byte (whether the terminal added a terminator), then the bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool terminated = (data[0] & 1) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view data_part = bytes;
  if (terminated && !data_part.empty()) data_part.remove_suffix(1);
  FUZZ_CHECK(kestrova::EncodeTerminalBytes(Protocol::kHex, bytes, terminated) == data_part);
  FUZZ_CHECK(kestrova::EncodeTerminalBytes(Protocol::kBase64, bytes, terminated) == data_part);
  FUZZ_CHECK(kestrova::EncodeTerminalBytes(Protocol::kFatek, bytes, terminated) == data_part);
  FUZZ_CHECK(kestrova::EncodeTerminalBytes(Protocol::kText, bytes, terminated) == bytes);
  FUZZ_CHECK(kestrova::EncodeTerminalBytes(Protocol::kTextRN, bytes, terminated) ==
             std::string(bytes) + '\n');
  CheckA4A3(bytes, kestrova::EncodeTerminalBytes(Protocol::kA4A3, bytes, terminated));
  return 0;
}
