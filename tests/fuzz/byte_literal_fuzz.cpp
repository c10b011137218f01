// The byte-string literal on any text, and back from bytes written as a literal.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "util/byte_literal.h"

namespace {

// Bytes as a literal: printable runs in quotes, other bytes as "#" codes.
std::string WriteLiteral(std::string_view bytes) {
  std::string text;
  bool quoted = false;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < ' ' || byte >= 0x7F) {
      if (quoted) text.push_back('"');
      quoted = false;
      text += (byte % 2 == 0 ? "#" : "#$");
      char code[8];
      std::snprintf(code, sizeof code, byte % 2 == 0 ? "%u" : "%02X", byte);
      text += code;
      continue;
    }
    if (!quoted) text.push_back('"');
    quoted = true;
    text.push_back(c);
    if (c == '"') text.push_back('"');
  }
  if (quoted) text.push_back('"');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string bytes = kestrova::ByteStringLiteral(input);
  FUZZ_CHECK(bytes.size() <= input.size());
  FUZZ_CHECK(kestrova::ByteStringLiteral(WriteLiteral(input)) == input);
  return 0;
}
