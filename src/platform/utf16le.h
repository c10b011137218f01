// UTF-16 little-endian bytes to UTF-8, as registry exports and their string data are written.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Unpaired surrogates and an odd last byte each become U+FFFD, so any input gives valid UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes);

}  // namespace kestrova
