#include "util/wildcard.h"

namespace kestrova {

int WildcardCompare(std::string_view text, size_t position, std::string_view pattern,
                    std::string_view stop_chars) {
  text.remove_prefix(position < text.size() ? position : text.size());
  pattern = pattern.substr(0, pattern.find_first_of(stop_chars));

  // Greedy scan that returns to the last "*" on a mismatch, giving it one more byte; the first
  // mismatch met is the one with every run at its shortest.
  size_t t = 0;
  size_t p = 0;
  size_t star_p = std::string_view::npos;  // pattern index after the last "*"
  size_t star_t = 0;                       // text index where that run currently ends
  bool wildcard_passed = false;
  int first_difference = 0;
  while (true) {
    int difference = 0;
    if (p < pattern.size() && pattern[p] == '*') {
      wildcard_passed = true;
      star_p = ++p;
      star_t = t;
      continue;
    }
    if (t < text.size() && p < pattern.size()) {
      const auto text_byte = static_cast<unsigned char>(text[t]);
      const auto pattern_byte = static_cast<unsigned char>(pattern[p]);
      if (pattern_byte == '?' || text_byte == pattern_byte) {
        wildcard_passed = wildcard_passed || pattern_byte == '?';
        ++t;
        ++p;
        continue;
      }
      difference = text_byte < pattern_byte ? -1 : 1;
    } else if (t == text.size() && p == pattern.size()) {
      return 0;
    } else {
      difference = t == text.size() ? -1 : 1;  // the text or the pattern ended first
    }
    if (first_difference == 0) first_difference = wildcard_passed ? difference : 2 * difference;
    if (star_p == std::string_view::npos || star_t >= text.size()) return first_difference;
    p = star_p;
    t = ++star_t;
  }
}

}  // namespace kestrova
