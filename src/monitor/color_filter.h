// The colour highlighting filter of received port-1 data: rules of the form colour, separator,
// pattern (a byte-string literal read as a matcher pattern); the last matching rule's colour
// wins.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/color.h"

namespace kestrova {

class ColorFilter {
 public:
  // The rules as the user wrote them, one per line.
  const std::vector<std::string>& Rules() const { return rules_; }
  void SetRules(std::vector<std::string> rules);

  // Sets `color` from every rule whose pattern matches `data` from its first byte, in order, so
  // the last match wins; leaves it alone when none matches. A matching rule whose colour text
  // is not a colour raises Exception.
  void Apply(std::string_view data, TColor& color) const;

 private:
  struct CompiledRule {
    std::string color_text;
    std::string pattern;  // bytes
  };

  std::vector<std::string> rules_;
  std::vector<CompiledRule> compiled_;  // rules without colour text are left out
};

}  // namespace kestrova
