#include "serial/comm_types.h"

namespace kestrova {

std::optional<TBaudRate> BaudRateFromValue(int64_t rate) {
  for (size_t i = 0; i < kBaudRateTable.size(); ++i) {
    if (kBaudRateTable[i] == rate) return static_cast<TBaudRate>(i);
  }
  return std::nullopt;
}

std::optional<TDataBits> DataBitsFromValue(int64_t bits) {
  if (bits < 4 || bits > 8) return std::nullopt;
  return static_cast<TDataBits>(bits - 4);
}

std::optional<TParity> ParityFromName(std::string_view name) {
  for (size_t i = 0; i < kParityNames.size(); ++i) {
    if (kParityNames[i] == name) return static_cast<TParity>(i);
  }
  return std::nullopt;
}

std::optional<TStopBits> StopBitsFromName(std::string_view name) {
  for (size_t i = 0; i < kStopBitsNames.size(); ++i) {
    if (kStopBitsNames[i] == name) return static_cast<TStopBits>(i);
  }
  return std::nullopt;
}

}  // namespace kestrova
