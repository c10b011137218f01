// Wildcard comparison of a name with a pattern ("?" one byte, "*" any run), as port
// enumeration compares device names with a list of patterns.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrova {

// Compares `text` from `position` with `pattern` byte by byte, case-sensitively. The pattern
// ends at its end or at the first of `stop_chars`. "?" matches any one byte, "*" any run of
// bytes including an empty one. Returns 0 when the whole text matches the whole pattern.
// Otherwise the sign tells the first difference found with every "*" taking its shortest run:
// negative when the text ends first or its byte is smaller than the pattern's, positive when
// the pattern ends first or the text's byte is larger; the magnitude is 2 when no wildcard
// had been passed before that difference, 1 after one. Runs in O(text x pattern) at worst.
int WildcardCompare(std::string_view text, size_t position, std::string_view pattern,
                    std::string_view stop_chars);

}  // namespace kestrova
