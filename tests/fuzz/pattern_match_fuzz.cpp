// The pattern matcher on any pattern and subject: a defined result, the position moved by
// exactly the bytes matched, captures within the subject; on short inputs the same result as a
// plain recursive reading of the language.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "pattern_reference.h"
#include "util/pattern_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  const size_t split = data[0] % (input.size() + 1);
  const std::string_view pattern = input.substr(0, split);
  const std::string_view subject = input.substr(split);
  const size_t start = data[1] % (subject.size() + 2);

  size_t position = start;
  std::vector<int64_t> captures(data[1] % 3, 99);
  const int result = kestrova::Match(position, subject, pattern, captures);
  FUZZ_CHECK(result >= -2);
  if (result < 0) {
    FUZZ_CHECK(position == start);
  } else {
    FUZZ_CHECK(position == start + static_cast<size_t>(result));
    FUZZ_CHECK(position <= (start > subject.size() ? start : subject.size()));
  }
  for (const int64_t slot : captures) {
    FUZZ_CHECK(slot >= -1 && slot <= static_cast<int64_t>(subject.size()));
  }

  // The reference takes exponential time with many "*", so only short inputs are compared.
  if (pattern.size() > 40 || subject.size() > 40 ||
      std::count(pattern.begin(), pattern.end(), '*') > 3) {
    return 0;
  }
  std::vector<int64_t> reference_captures(captures.size(), -1);
  const size_t clamped = std::min(start, subject.size());
  const int64_t expected =
      kestrova::fuzz::PatternReference(pattern, subject, reference_captures).Run(clamped);
  FUZZ_CHECK(result == (expected < 0 ? expected : expected - static_cast<int64_t>(clamped)));
  // Remembered "*" failures skip recording captures in branches that fail anyway.
  if (pattern.find('*') == std::string_view::npos) FUZZ_CHECK(captures == reference_captures);
  return 0;
}
