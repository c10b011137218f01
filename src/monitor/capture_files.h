// The main window's numbered capture files: the file name a pattern and its counter give, and
// the counter after a save.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// The pattern with "%1" (and the formatter's other forms of argument 1) as the counter text.
std::string CaptureFileName(std::string_view pattern, std::string_view counter);

// The counter's value plus one (text that is not a number counts as 0), in decimal with at
// least as many digits as the counter had, zero-padded: "007" -> "008", "9" -> "10".
std::string NextCaptureCounter(std::string_view counter);

}  // namespace kestrova
