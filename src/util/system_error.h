// The message text of an operating-system error code (an errno value), for messages the user
// reads in the terminal or the log.
#pragma once

#include <string>

namespace kestrova {

// The system's text for `code`, without trailing spaces, line breaks or full stops (one full
// stop is kept when the text ended with one). A code the system has no text for gives
// "Error " and the code as 8 hex digits.
std::string SystemErrorText(int code);

// Cuts trailing spaces, tabs, CR, LF and full stops; one full stop stays when there was one.
std::string TrimMessageEnd(std::string text);

}  // namespace kestrova
