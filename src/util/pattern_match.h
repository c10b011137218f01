// The colour filter's pattern language: does received data start with a given shape?
//
// Elements: a plain byte; "\" and a byte (that byte literally); "?" (any byte); "[" set "]"
// (bytes and low "-" high ranges, "\" takes the next byte literally, a leading "-" is plain,
// "[]" matches nothing); "{" sequence "}" (a group, one element; an unclosed group ends with the
// pattern); "." number "." (records the subject position in capture slot `number`).
// Prefix operators: "*" e (zero or more of e, fewest first, retrying the rest of the pattern or
// group after each), "+" e (as many as match, at least one byte each, never given back),
// "|" e1 e2 (e1 if it matches, else e2). The operand of an operator is an element or a "|"
// construct; a "*" or "+" construct as an operand must be put in a group. Groups, "+" and "|"
// commit to their first result; only "*" retries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrova {

inline constexpr int kMatchFailed = -1;
inline constexpr int kMatchMalformed = -2;
inline constexpr int kMaxCaptureNumber = 4095;

// Matches `pattern` against `subject` from `position`, anchored there; the whole pattern must
// be used, the subject may go on. Returns the number of subject bytes matched and advances
// `position` past them; kMatchFailed when the subject does not match; kMatchMalformed when the
// pattern is malformed (missing "]", a range without an upper bound, a "\" or an operator
// without an operand, a "}" without a "{", a capture mark without a number or closing ".", a
// capture number above kMaxCaptureNumber, a "*" or "+" construct as an operand) or when
// matching would exceed a work limit that keeps every call short. `position` is unchanged
// unless the pattern matched. `captures` are subject positions: every slot is set to -1 first;
// the vector grows, new slots -1, when a higher slot is recorded.
int Match(size_t& position, std::string_view subject, std::string_view pattern,
          std::vector<int64_t>& captures);

}  // namespace kestrova
