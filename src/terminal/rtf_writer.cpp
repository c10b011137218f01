#include "terminal/rtf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "terminal/utf8.h"
#include "util/hex.h"

namespace kestrova {
namespace {

// One UTF-16 unit as RTF's signed decimal \u, with "?" as the fallback for old readers.
void AppendUnicode(std::string& out, uint32_t unit) {
  out += "\\u";
  out += std::to_string(static_cast<int16_t>(static_cast<uint16_t>(unit)));
  out += '?';
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    const char32_t code_point = DecodeUtf8(text, pos);
    switch (code_point) {
      case '\\':
      case '{':
      case '}':
        out += '\\';
        out += static_cast<char>(code_point);
        break;
      case '\n':
        out += "\\par\n";
        break;
      case '\t':
        out += "\\tab ";
        break;
      default:
        if (code_point < 32) {
          out += "\\'";
          out += HexDigit(static_cast<int>(code_point >> 4));
          out += HexDigit(static_cast<int>(code_point & 0x0F));
        } else if (code_point < 127) {
          out += static_cast<char>(code_point);
        } else if (code_point < 0x10000) {
          AppendUnicode(out, code_point);
        } else {
          const char32_t offset = code_point - 0x10000;
          AppendUnicode(out, 0xD800 + (offset >> 10));
          AppendUnicode(out, 0xDC00 + (offset & 0x3FF));
        }
    }
  }
}

bool IsPlainRgb(TColor color) { return (color & 0xFF000000) == 0; }

}  // namespace

std::string WriteRtf(const std::vector<TextRun>& runs, std::string_view font_family,
                     double point_size) {
  // The table holds plain RGB colours; others (no colour, a theme's colour) take the reader's
  // own text colour, entry 0.
  std::vector<TColor> colors;
  for (const TextRun& run : runs) {
    if (IsPlainRgb(run.color) &&
        std::find(colors.begin(), colors.end(), run.color) == colors.end()) {
      colors.push_back(run.color);
    }
  }
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
  AppendEscaped(out, font_family);
  out += ";}}\n{\\colortbl ;";
  for (const TColor color : colors) {
    out += "\\red" + std::to_string(RedOf(color)) + "\\green" + std::to_string(GreenOf(color)) +
           "\\blue" + std::to_string(BlueOf(color)) + ';';
  }
  const long half_points = std::lround(std::max(point_size, 1.0) * 2);
  out += "}\n\\viewkind4\\pard\\plain\\f0\\fs" + std::to_string(half_points) + '\n';
  for (const TextRun& run : runs) {
    const auto found = std::find(colors.begin(), colors.end(), run.color);
    const auto index = found == colors.end() ? 0 : found - colors.begin() + 1;
    out += "\\cf" + std::to_string(index) + (run.underline ? "\\ul " : "\\ulnone ");
    AppendEscaped(out, run.text);
  }
  out += "}\n";
  return out;
}

}  // namespace kestrova
