#include "monitor/send_encoding.h"

#include <cstdint>

namespace kestrova {
namespace {

bool IsAtCommand(std::string_view data) {
  return data.size() > 1 && (data[0] == 'A' || data[0] == 'a') &&
         (data[1] == 'T' || data[1] == 't');
}

}  // namespace

std::string EncodeTerminalBytes(Protocol protocol, std::string_view bytes,
                                bool ends_with_terminator) {
  switch (protocol) {
    case Protocol::kHex:
    case Protocol::kBase64:
    case Protocol::kFatek:
      // Only the terminator goes; bytes sent without one are all data.
      if (ends_with_terminator && !bytes.empty()) bytes.remove_suffix(1);
      return std::string(bytes);
    case Protocol::kText:
      return std::string(bytes);
    case Protocol::kTextRN:
      return std::string(bytes) + '\n';
    case Protocol::kA4A3:
      return bytes.empty() ? std::string() : A4A3Frame(bytes);
  }
  return std::string(bytes);
}

std::string A4A3Frame(std::string_view data) {
  const size_t n = data.size();
  std::string frame;
  frame.reserve(n + 4);
  frame += '\xAA';
  if (IsAtCommand(data)) {
    frame += static_cast<char>(n % 256);
    frame += static_cast<char>((n / 256 + 232) % 256);
    frame += data;
  } else {
    frame += static_cast<char>((n - 1) % 256);
    frame += static_cast<char>(((n - 1) / 256 + static_cast<uint8_t>(data[0])) % 256);
    frame += data.substr(1);
  }
  uint8_t sum = 0;
  for (char c : frame) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  frame += static_cast<char>(sum);
  return frame;
}

std::string ScriptLine(Protocol protocol, std::string_view line) {
  std::string sent(line);
  if (protocol == Protocol::kText) sent += '\r';
  if (protocol == Protocol::kTextRN) sent += "\r\n";
  return sent;
}

}  // namespace kestrova
