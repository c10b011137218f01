#include "platform/reg_value.h"

namespace kestrova {

RegValue RegValue::Dword(uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return {kRegDword, std::move(data)};
}

std::optional<uint32_t> RegValue::DwordValue() const {
  if (type != kRegDword || data.size() != 4) return std::nullopt;
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[i]);
  return value;
}

}  // namespace kestrova
