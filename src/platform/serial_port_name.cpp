#include "platform/serial_port_name.h"

#include <cctype>

namespace kestrova {
namespace {

constexpr std::string_view kLongPathPrefix = "\\\\?\\";
// More digits than any legacy port number has; longer ones are plain names.
constexpr size_t kMaxPortDigits = 6;

bool IsLegacyComName(std::string_view name) {
  if (name.size() < 4 || name.size() > 3 + kMaxPortDigits) return false;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  }
  bool non_zero = false;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return false;
    non_zero = non_zero || c != '0';
  }
  return non_zero;
}

}  // namespace

std::string PortNameToDevicePath(std::string_view port_name) {
  if (port_name.starts_with(kLongPathPrefix)) port_name.remove_prefix(kLongPathPrefix.size());
  if (port_name.empty()) return {};
  if (IsLegacyComName(port_name)) {
    return "/dev/ttyS" + std::to_string(std::stoul(std::string(port_name.substr(3))) - 1);
  }
  if (port_name.find('/') != std::string_view::npos) return std::string(port_name);
  return "/dev/" + std::string(port_name);
}

}  // namespace kestrova
