// UTF-16 little-endian bytes to and from UTF-8, as registry exports and their string data are
// written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// Unpaired surrogates and an odd last byte each become U+FFFD, so any input gives valid UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes);

// Nothing when `text` is not valid UTF-8 (a stray byte, an overlong form, a surrogate or a code
// point above U+10FFFF): such text would not come back unchanged.
std::optional<std::string> Utf8ToUtf16Le(std::string_view text);

}  // namespace kestrova
