// HexToBytes on any text, and the round trip bytes -> hex -> bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "util/hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string bytes = kestrova::HexToBytes(input);
  FUZZ_CHECK(bytes.size() <= input.size());
  const std::string hex = kestrova::BytesToHex(input);
  FUZZ_CHECK(hex.size() == 3 * input.size());
  FUZZ_CHECK(kestrova::HexToBytes(hex) == input);
  return 0;
}
