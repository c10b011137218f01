#include "platform/reg_text_writer.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/utf16le.h"

namespace kestrova {
namespace {

constexpr size_t kLineWidth = 80;
constexpr std::string_view kExportHeader = "Windows Registry Editor Version 5.00";

// How the two kinds of file differ.
struct Flavor {
  std::string_view header;
  std::string_view line_end;
  bool utf16_texts;  // texts in hex data are UTF-16, and quoted texts hold no line breaks
};

constexpr Flavor kHiveFlavor{"REGEDIT4", "\n", false};
constexpr Flavor kExportFlavor{kExportHeader, "\r\n", true};

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

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Writes one hive in one flavor; the file's text is UTF-8 until the caller encodes it.
class Writer {
 public:
  explicit Writer(const Flavor& flavor) : flavor_(flavor) {}

  // False when a text was not valid UTF-8 and could not be put into UTF-16 hex data.
  bool AllTextsEncoded() const { return all_texts_encoded_; }

  std::string Format(const RegHive& hive) {
    std::string out(flavor_.header);
    out += flavor_.line_end;
    out += flavor_.line_end;
    for (const auto& [path, key] : hive.Keys()) {
      out += '[';
      out += path;
      out += ']';
      out += flavor_.line_end;
      for (const RegNamedValue& named : key.Values()) AppendValue(out, named);
      out += flavor_.line_end;
    }
    return out;
  }

 private:
  void AppendValue(std::string& out, const RegNamedValue& named) {
    size_t line_start = out.size();
    if (named.name.empty()) {
      out += '@';
    } else {
      AppendQuoted(out, named.name);
    }
    out += '=';
    const RegValue& value = named.value;
    if (value.type == kRegSz && !(flavor_.utf16_texts && HoldsLineBreakOrNul(value.data))) {
      AppendQuoted(out, value.data);
    } else if (std::optional<uint32_t> number = value.DwordValue()) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "dword:%08x", *number);
      out += buffer;
    } else if (value.IsText() || (value.type == kRegMultiSz && flavor_.utf16_texts)) {
      AppendHexData(out, line_start, value.type, TextHexBytes(value));
    } else {
      AppendHexData(out, line_start, value.type, value.data);
    }
    out += flavor_.line_end;
  }

  // The bytes of a text's hex data; texts other than multi-strings get their NUL terminator.
  std::string TextHexBytes(const RegValue& value) {
    std::string bytes = value.data;
    if (value.type != kRegMultiSz) bytes += '\0';
    if (!flavor_.utf16_texts) return bytes;
    std::optional<std::string> encoded = Utf8ToUtf16Le(bytes);
    if (!encoded) all_texts_encoded_ = false;
    return encoded.value_or("");
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
          out += '\\';
          out += flavor_.line_end;
          out += "  ";
          line_start = out.size() - 2;
        }
      }
      std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
      out += buffer;
    }
  }

  const Flavor& flavor_;
  bool all_texts_encoded_ = true;
};

}  // namespace

std::string FormatRegText(const RegHive& hive) { return Writer(kHiveFlavor).Format(hive); }

std::string FormatRegExport(const RegHive& hive) {
  Writer writer(kExportFlavor);
  std::string text = writer.Format(hive);
  std::optional<std::string> encoded = Utf8ToUtf16Le(text);
  if (!writer.AllTextsEncoded() || !encoded) return FormatRegText(hive);
  return "\xFF\xFE" + *encoded;
}

}  // namespace kestrova
