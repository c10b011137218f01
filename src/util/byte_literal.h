// Byte strings written like string constants, as the colour filter's patterns are:
// "AB"#13#10, #$1B"[0m", or plain text before any quote.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Converts `text` into bytes. Text before the first quote or code is taken as it is. A part in
// double quotes is taken literally, a doubled quote inside standing for one quote (an
// unterminated part runs to the end). "#" with up to three decimal digits (value 0..255; a
// third digit that would exceed 255 is not taken) or "#$" with one or two hex digits gives the
// byte of that code; a "#" without a valid code before any quote is a plain "#". Quoted parts
// and codes may follow each other directly; any other character after a closing quote or a
// code ends the conversion and the rest is ignored.
std::string ByteStringLiteral(std::string_view text);

}  // namespace kestrova
