// The token reader of configuration strings: plain words, double-quoted strings with "#"
// character codes, and parenthesised groups, separated by a set of separator characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

// The standard separators: space, comma and TAB.
inline constexpr std::string_view kTokenSeparators = " ,\t";

// Reads the token that starts at `position` (0 = the first character) and moves `position`
// behind it and the one separator that ends it. A token is:
// - a parenthesised group: the text between "(" and the next ")" (or the end of the text),
//   without the parentheses;
// - a string literal: double-quoted parts, where a doubled quote stands for one quote, and "#"
//   codes (decimal digits, value 0..255) following each other directly, as in "AB"#13#10;
// - plain text up to the next separator, taken as it is.
// Text between the end of a group or literal and the next separator is appended as it is.
// Separators are not merged: two in a row yield an empty token between them. Returns true
// when a separator ended the token (another token, perhaps empty, follows), false when the
// token ran to the end of the text.
bool NextToken(std::string_view text, size_t& position, std::string_view separators,
               std::string& token);

// Splits the first token off `text`, leaving the rest behind its separator in `text`.
std::string SplitFirstToken(std::string& text, std::string_view separators);

// Writes `value` so that NextToken reads it back whole: as it is when that is safe, otherwise
// as a string literal with control characters as "#" codes.
std::string QuoteToken(std::string_view value, std::string_view separators);

}  // namespace kestrova
