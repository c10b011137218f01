// The positional formatter on any pattern: never out of bounds, output bounded by the pattern.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "util/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view pattern(reinterpret_cast<const char*>(data + 1), size - 1);
  const kestrova::FormatArg all[] = {"Pokusy", -12345, true, 'c', 0.125, std::string(300, 'x')};
  const size_t count = data[0] % 7;
  const std::string text =
      kestrova::FormatPositional(pattern, std::span<const kestrova::FormatArg>(all, count));
  // Every directive takes at least two bytes and gives at most the width limit or an argument.
  FUZZ_CHECK(text.size() <= pattern.size() * (kestrova::kMaxFormatWidth + 300));
  if (pattern.find('%') == std::string_view::npos) FUZZ_CHECK(text == pattern);
  return 0;
}
