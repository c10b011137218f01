#include "monitor/color_filter.h"

#include <cstdint>

#include "util/byte_literal.h"
#include "util/color_text.h"
#include "util/pattern_match.h"

namespace kestrova {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == ':'; }

}  // namespace

void ColorFilter::SetRules(std::vector<std::string> rules) {
  rules_ = std::move(rules);
  compiled_.clear();
  // The patterns are converted once here rather than for every received piece.
  for (const std::string& rule : rules_) {
    size_t end = 0;
    while (end < rule.size() && !IsSeparator(rule[end])) ++end;
    if (end == 0) continue;
    size_t pattern_start = end < rule.size() ? end + 1 : end;
    while (pattern_start < rule.size() &&
           (rule[pattern_start] == ' ' || rule[pattern_start] == '\t')) {
      ++pattern_start;
    }
    compiled_.push_back(
        {rule.substr(0, end), ByteStringLiteral(std::string_view(rule).substr(pattern_start))});
  }
}

void ColorFilter::Apply(std::string_view data, TColor& color) const {
  std::vector<int64_t> captures;
  for (const CompiledRule& rule : compiled_) {
    size_t position = 0;
    if (Match(position, data, rule.pattern, captures) >= 0) color = TextToColor(rule.color_text);
  }
}

}  // namespace kestrova
