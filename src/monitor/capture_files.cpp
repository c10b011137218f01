#include "monitor/capture_files.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "util/format.h"

namespace kestrova {

std::string CaptureFileName(std::string_view pattern, std::string_view counter) {
  return FormatPositional(pattern, {counter});
}

std::string NextCaptureCounter(std::string_view counter) {
  int32_t value = 0;
  const char* end = counter.data() + counter.size();
  const auto [stop, error] = std::from_chars(counter.data(), end, value);
  if (error != std::errc() || stop != end) value = 0;
  const int64_t next = static_cast<int64_t>(value) + 1;
  std::string digits = std::to_string(std::llabs(next));
  if (digits.size() < counter.size()) digits.insert(0, counter.size() - digits.size(), '0');
  return next < 0 ? "-" + digits : digits;
}

}  // namespace kestrova
