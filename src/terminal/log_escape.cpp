#include "terminal/log_escape.h"

#include "util/hex.h"

namespace kestrova {

void EscapeControls(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size());
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
          const char escape[] = {'\\', 'x', HexDigit(byte >> 4), HexDigit(byte & 0x0F)};
          out.append(escape, sizeof escape);
        } else {
          out += c;
        }
    }
  }
}

void EscapeNonPrintable(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte <= 127) {
      out += c;
    } else {
      const char escape[] = {'<', '#', HexDigit(byte >> 4), HexDigit(byte & 0x0F), '>'};
      out.append(escape, sizeof escape);
    }
  }
}

}  // namespace kestrova
