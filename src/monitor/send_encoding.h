// What goes on the wire for bytes typed in the terminal, by protocol: the line terminator kept,
// dropped or extended, or the bytes wrapped in an A4A3 frame; and the same for a script line.
#pragma once

#include <string>
#include <string_view>

#include "monitor/framers.h"

namespace kestrova {

// `bytes` as the terminal delivered them; `ends_with_terminator` when their last byte is the
// line terminator the terminal added. Hex, Base64 and Fatek leave the terminator out, Text
// keeps it, TextRN adds LF, A4A3 frames all bytes (nothing for no bytes: no frame exists).
std::string EncodeTerminalBytes(Protocol protocol, std::string_view bytes,
                                bool ends_with_terminator);

// $AA, the length and the first byte folded into the header (an AT command keeps its first
// byte and marks the header instead), the bytes, and the sum of all before as checksum.
// `data` must not be empty.
std::string A4A3Frame(std::string_view data);

// A script line as it is sent: CR appended for Text, CR LF for TextRN, nothing otherwise.
std::string ScriptLine(Protocol protocol, std::string_view line);

}  // namespace kestrova
