// Wildcard compare against a plain dynamic-programming matcher: 0 exactly when the pattern
// matches, and only the documented result values.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "util/wildcard.h"

namespace {

bool Matches(std::string_view text, std::string_view pattern) {
  // previous[j] / current[j]: the text read so far matches pattern[0, j).
  std::vector<char> previous(pattern.size() + 1, 0);
  previous[0] = 1;
  for (size_t j = 1; j <= pattern.size(); ++j) {
    previous[j] = previous[j - 1] && pattern[j - 1] == '*';
  }
  std::vector<char> current(pattern.size() + 1, 0);
  for (const char c : text) {
    current[0] = 0;
    for (size_t j = 1; j <= pattern.size(); ++j) {
      const char p = pattern[j - 1];
      current[j] =
          p == '*' ? (current[j - 1] || previous[j]) : (previous[j - 1] && (p == '?' || p == c));
    }
    previous.swap(current);
  }
  return previous[pattern.size()] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 600) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  const size_t split = data[0] % (input.size() + 1);
  const std::string_view text = input.substr(0, split);
  const std::string_view pattern_text = input.substr(split);
  const size_t position = data[1] % 4;
  const std::string_view stop_chars = data[1] & 4 ? "|" : "";

  const int result = kestrova::WildcardCompare(text, position, pattern_text, stop_chars);
  FUZZ_CHECK(result >= -2 && result <= 2);
  const std::string_view subject = text.substr(position < text.size() ? position : text.size());
  const std::string_view pattern = pattern_text.substr(0, pattern_text.find_first_of(stop_chars));
  FUZZ_CHECK((result == 0) == Matches(subject, pattern));
  return 0;
}
