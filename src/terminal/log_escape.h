// How the logger writes bytes that would break a log line or are not plain ASCII.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// TAB as "\t", LF as "\n", CR as "\r", a backslash doubled, any other byte below 32 as "\x"
// and two upper-case hex digits; every other byte unchanged.
std::string EscapeControls(std::string_view bytes);

// Bytes outside 32..127 as "<#HH>" (upper-case hex); the others unchanged.
std::string EscapeNonPrintable(std::string_view bytes);

}  // namespace kestrova
