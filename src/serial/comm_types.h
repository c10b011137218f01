// The serial line's settings as the port component publishes them: bit rates, framing,
// control-line modes, skipped line events, grab commands, and the tables behind them.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace kestrova {

// The ordinal indexes kBaudRateTable.
enum class TBaudRate : uint8_t {
  _110,
  _300,
  _600,
  _1200,
  _2400,
  _4800,
  _9600,
  _14400,
  _19200,
  _28800,
  _38400,
  _56000,
  _57600,
  _115200,
  _128000,
  _230400,
  _256000,
  _460800,
  _921600,
  _1000000,
};
inline constexpr std::array<uint32_t, 20> kBaudRateTable = {
    110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200,  28800,
    38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600, 1000000};

// Ordinals are the parity codes of the device control block.
enum class TParity : uint8_t { None, Odd, Even, Mark, Space };
inline constexpr std::array<std::string_view, 5> kParityNames = {"None", "Odd", "Even", "Mark",
                                                                 "Space"};

enum class TDataBits : uint8_t { _4, _5, _6, _7, _8 };
inline constexpr std::array<uint8_t, 5> kDataBitsTable = {4, 5, 6, 7, 8};

// Ordinals are the stop-bit codes of the device control block.
enum class TStopBits : uint8_t { _1, _1_5, _2 };
inline constexpr std::array<std::string_view, 3> kStopBitsNames = {"1", "1.5", "2"};

enum VMurDTRControl : uint8_t {
  VMurSignalControl_DTROff,
  VMurSignalControl_DTREnable,
  VMurSignalControl_DTRHandshake,
};
enum VMurRTSControl : uint8_t {
  VMurSignalControl_RTSOff,
  VMurSignalControl_RTSEnable,
  VMurSignalControl_RTSHandshake,
  VMurSignalControl_RTSToggle,
};

enum Tristate : uint8_t { TristateUnkn, TristateTrue, TristateFalse };

// How a component takes part in sharing its port with other running copies of the program.
// The two "once" commands act once and leave the stored mode alone.
enum VMurCommGrabCommand : uint8_t { vscgcNone, vscgcSoft, vscgcHard, vscgcOnce, vscgcNoneOnce };

// Line events the reader can be told not to watch.
enum VSSComm32SkipEvent : uint8_t {
  vsceBreak,
  vsceCTS,
  vsceDSR,
  vsceERR,
  vsceRING,
  vsceRLSD,
  vsceRXCHAR,
  vsceRXFLAG,
  vsceTXEMPTY,
};
inline constexpr int kSkipEventCount = 9;

class VSSComm32SkipEvents {
 public:
  constexpr VSSComm32SkipEvents() = default;
  constexpr VSSComm32SkipEvents(std::initializer_list<VSSComm32SkipEvent> events) {
    for (VSSComm32SkipEvent e : events) Include(e);
  }
  static constexpr VSSComm32SkipEvents FromBits(uint16_t bits) {
    VSSComm32SkipEvents set;
    set.bits_ = bits & ((1u << kSkipEventCount) - 1);
    return set;
  }

  constexpr bool Contains(VSSComm32SkipEvent e) const { return (bits_ >> e) & 1u; }
  constexpr void Include(VSSComm32SkipEvent e) { bits_ |= static_cast<uint16_t>(1u << e); }
  constexpr void Exclude(VSSComm32SkipEvent e) { bits_ &= static_cast<uint16_t>(~(1u << e)); }
  constexpr uint16_t Bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }

  friend constexpr bool operator==(VSSComm32SkipEvents, VSSComm32SkipEvents) = default;

 private:
  uint16_t bits_ = 0;
};

constexpr uint32_t BaudRateValue(TBaudRate rate) {
  return kBaudRateTable[static_cast<size_t>(rate)];
}
constexpr uint8_t DataBitsValue(TDataBits bits) {
  return kDataBitsTable[static_cast<size_t>(bits)];
}

// The table entry with exactly this rate, if any.
std::optional<TBaudRate> BaudRateFromValue(int64_t rate);
// 4..8 give _4.._8.
std::optional<TDataBits> DataBitsFromValue(int64_t bits);
// Exact, case-sensitive names as the configuration string writes them.
std::optional<TParity> ParityFromName(std::string_view name);
std::optional<TStopBits> StopBitsFromName(std::string_view name);

inline std::string_view ParityName(TParity parity) {
  return kParityNames[static_cast<size_t>(parity)];
}
inline std::string_view StopBitsName(TStopBits stop_bits) {
  return kStopBitsNames[static_cast<size_t>(stop_bits)];
}

}  // namespace kestrova
