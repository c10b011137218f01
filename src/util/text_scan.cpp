#include "util/text_scan.h"

#include <limits>

#include "util/ascii.h"

namespace kestrova {

void SkipSpaces(std::string_view text, size_t& position) {
  while (position < text.size() && (text[position] == ' ' || text[position] == '\t')) {
    ++position;
  }
}

bool ReadInteger(std::string_view text, size_t& position, int64_t& value) {
  size_t i = position;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  // Accumulated as a negative number, whose range is the larger one.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t result = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    result = result < (kMin + digit) / 10 ? kMin : result * 10 - digit;
  }
  if (!negative) {
    result = result == kMin ? std::numeric_limits<int64_t>::max() : -result;
  }
  value = result;
  position = i;
  return true;
}

bool TestKeyword(std::string_view text, size_t& position, std::string_view keyword, bool advance) {
  if (position > text.size() || text.size() - position < keyword.size()) return false;
  if (!EqualsIgnoringAsciiCase(text.substr(position, keyword.size()), keyword)) return false;
  if (advance) position += keyword.size();
  return true;
}

}  // namespace kestrova
