#include "terminal/log_escape.h"

#include "util/hex.h"

namespace kestrova {

std::string EscapeControls(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (byte < 32) {
          out += "\\x";
          out += HexDigit(byte >> 4);
          out += HexDigit(byte & 0x0F);
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string EscapeNonPrintable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte <= 127) {
      out += c;
    } else {
      out += "<#";
      out += HexDigit(byte >> 4);
      out += HexDigit(byte & 0x0F);
      out += '>';
    }
  }
  return out;
}

}  // namespace kestrova
