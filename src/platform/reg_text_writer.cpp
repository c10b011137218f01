#include "platform/reg_text_writer.h"

#include <cstdio>
#include <string_view>

namespace kestrova {
namespace {

constexpr size_t kLineWidth = 80;

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out += c;
    }
  }
  out += '"';
}

void AppendHexData(std::string& out, size_t line_start, uint32_t type, std::string_view bytes) {
  char buffer[24];
  if (type == kRegBinary) {
    out += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", type);
    out += buffer;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) {
      out += ',';
      // Room for "xx,\" on this line, else continue on the next one as registry editors do.
      if (out.size() - line_start + 4 > kLineWidth) {
        out += "\\\n  ";
        line_start = out.size() - 2;
      }
    }
    std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
    out += buffer;
  }
}

void AppendValue(std::string& out, const RegNamedValue& named) {
  size_t line_start = out.size();
  if (named.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, named.name);
  }
  out += '=';
  const RegValue& value = named.value;
  if (value.type == kRegSz) {
    AppendQuoted(out, value.data);
  } else if (std::optional<uint32_t> number = value.DwordValue()) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x", *number);
    out += buffer;
  } else if (value.type == kRegExpandSz) {
    std::string terminated = value.data;
    terminated += '\0';
    AppendHexData(out, line_start, value.type, terminated);
  } else {
    AppendHexData(out, line_start, value.type, value.data);
  }
  out += '\n';
}

}  // namespace

std::string FormatRegText(const RegHive& hive) {
  std::string out = "REGEDIT4\n\n";
  for (const auto& [path, key] : hive.Keys()) {
    out += '[';
    out += path;
    out += "]\n";
    for (const RegNamedValue& named : key.Values()) AppendValue(out, named);
    out += '\n';
  }
  return out;
}

}  // namespace kestrova
