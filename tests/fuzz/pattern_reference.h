// A plain recursive reading of the pattern language straight from the pattern text, for the
// fuzz target to compare the matcher with on short inputs. Exponential and deep on long
// inputs; callers keep them short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kestrova::fuzz {

class PatternReference {
 public:
  static constexpr size_t kMalformed = static_cast<size_t>(-1);

  PatternReference(std::string_view pattern, std::string_view subject,
                   std::vector<int64_t>& captures)
      : pattern_(pattern), subject_(subject), captures_(captures) {}

  // -2 malformed, -1 no match, else the end position.
  int64_t Run(size_t start) {
    for (size_t i = 0; i < pattern_.size();) {
      if (pattern_[i] == '}') return -2;  // no group to close
      i = Skip(i, false);
      if (i == kMalformed) return -2;
    }
    const auto end = Sequence(0, start);
    return end ? static_cast<int64_t>(*end) : -1;
  }

 private:
  // The index behind the element at `i`; an operand may not be a "*" or "+" construct.
  size_t Skip(size_t i, bool operand) const {
    if (i >= pattern_.size() || pattern_[i] == '}') return kMalformed;
    switch (pattern_[i]) {
      case '*':
      case '+':
        return operand ? kMalformed : Skip(i + 1, true);
      case '|': {
        const size_t first = Skip(i + 1, true);
        return first == kMalformed ? kMalformed : Skip(first, true);
      }
      case '\\':
        return i + 1 < pattern_.size() ? i + 2 : kMalformed;
      case '[':
        return SkipSet(i + 1);
      case '{':
        for (size_t j = i + 1;;) {
          if (j >= pattern_.size()) return j;
          if (pattern_[j] == '}') return j + 1;
          j = Skip(j, false);
          if (j == kMalformed) return kMalformed;
        }
      case '.': {
        size_t j = i + 1;
        unsigned number = 0;
        while (j < pattern_.size() && pattern_[j] >= '0' && pattern_[j] <= '9') {
          number = number * 10 + static_cast<unsigned>(pattern_[j] - '0');
          if (number > 4095) return kMalformed;
          ++j;
        }
        if (j == i + 1 || j >= pattern_.size() || pattern_[j] != '.') return kMalformed;
        return j + 1;
      }
      default:
        return i + 1;
    }
  }

  // Reads a set body from `j`, remembering nothing; kMalformed when it is not closed.
  size_t SkipSet(size_t j) const {
    while (true) {
      if (j >= pattern_.size()) return kMalformed;
      if (pattern_[j] == ']') return j + 1;
      j += pattern_[j] == '\\' ? 2 : 1;
      if (j > pattern_.size()) return kMalformed;
      if (j < pattern_.size() && pattern_[j] == '-') {
        ++j;
        if (j >= pattern_.size() || pattern_[j] == ']') return kMalformed;
        j += pattern_[j] == '\\' ? 2 : 1;
        if (j > pattern_.size()) return kMalformed;
      }
    }
  }

  bool InSet(size_t j, unsigned char byte) const {
    bool found = false;
    while (pattern_[j] != ']') {
      if (pattern_[j] == '\\') ++j;
      const auto low = static_cast<unsigned char>(pattern_[j++]);
      auto high = low;
      if (pattern_[j] == '-') {
        ++j;
        if (pattern_[j] == '\\') ++j;
        high = static_cast<unsigned char>(pattern_[j++]);
      }
      found = found || (byte >= low && byte <= high);
    }
    return found;
  }

  // The sequence from `i` to the end of the pattern or the "}" of its group.
  std::optional<size_t> Sequence(size_t i, size_t pos) {
    if (i >= pattern_.size() || pattern_[i] == '}') return pos;
    const size_t next = Skip(i, false);
    if (pattern_[i] == '*') {
      for (size_t p = pos;;) {
        if (auto end = Sequence(next, p)) return end;
        const auto step = Single(i + 1, p);
        if (!step || *step == p) return std::nullopt;
        p = *step;
      }
    }
    if (pattern_[i] == '+') {
      size_t p = pos;
      while (true) {
        const auto step = Single(i + 1, p);
        if (!step || *step == p) break;
        p = *step;
      }
      return Sequence(next, p);
    }
    const auto step = Single(i, pos);
    if (!step) return std::nullopt;
    return Sequence(next, *step);
  }

  std::optional<size_t> Single(size_t i, size_t pos) {
    const bool has_byte = pos < subject_.size();
    const auto byte = has_byte ? static_cast<unsigned char>(subject_[pos]) : 0;
    const char c = pattern_[i];
    if (c == '{') return Sequence(i + 1, pos);
    if (c == '|') {
      if (auto end = Single(i + 1, pos)) return end;
      return Single(Skip(i + 1, true), pos);
    }
    if (c == '.') {
      size_t number = 0;
      for (size_t j = i + 1; pattern_[j] != '.'; ++j) number = number * 10 + (pattern_[j] - '0');
      if (captures_.size() <= number) captures_.resize(number + 1, -1);
      captures_[number] = static_cast<int64_t>(pos);
      return pos;
    }
    if (!has_byte) return std::nullopt;
    bool ok = false;
    if (c == '?') ok = true;
    if (c == '[') ok = InSet(i + 1, byte);
    if (c == '\\') ok = byte == static_cast<unsigned char>(pattern_[i + 1]);
    if (c != '?' && c != '[' && c != '\\') ok = byte == static_cast<unsigned char>(c);
    if (!ok) return std::nullopt;
    return pos + 1;
  }

  std::string_view pattern_;
  std::string_view subject_;
  std::vector<int64_t>& captures_;
};

}  // namespace kestrova::fuzz
