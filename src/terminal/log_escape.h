// How the logger writes bytes that would break a log line or are not plain ASCII. Both append
// to `out`, so a log line is built in one buffer.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// TAB as "\t", LF as "\n", CR as "\r", a backslash doubled, any other byte below 32 as "\x"
// and two upper-case hex digits; every other byte unchanged.
void EscapeControls(std::string_view bytes, std::string& out);

// Bytes outside 32..127 as "<#HH>" (upper-case hex); the others unchanged.
void EscapeNonPrintable(std::string_view bytes, std::string& out);

}  // namespace kestrova
