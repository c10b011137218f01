// The bridge component's settings: how the slave is read, and which diagnostics to show.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kestrova {

enum TProtocolCP2112 : uint8_t {
  cp2112pManualRead,  // the slave is never polled
  cp2112pAutoRead,    // polled; every byte read is data
  cp2112pSPA9,        // polled; ':' length payload frames both ways
};

// A diagnostic at level L arrives as data on the pseudo-channel 512 + L.
enum VMurCommCP2112debugLevel : uint8_t {
  cp2112dlError,
  cp2112dlWarning,
  cp2112dlCommonWarning,
  cp2112dlRawData,
  cp2112dlAllCalls,
};

class CP2112DebugLevels {
 public:
  constexpr CP2112DebugLevels() = default;
  constexpr CP2112DebugLevels(std::initializer_list<VMurCommCP2112debugLevel> levels) {
    for (VMurCommCP2112debugLevel level : levels) bits_ |= Bit(level);
  }
  static constexpr CP2112DebugLevels FromBits(uint8_t bits) {
    CP2112DebugLevels levels;
    levels.bits_ = bits & 0x1F;
    return levels;
  }

  constexpr bool Contains(VMurCommCP2112debugLevel level) const {
    return (bits_ & Bit(level)) != 0;
  }
  constexpr uint8_t Bits() const { return bits_; }
  friend constexpr bool operator==(CP2112DebugLevels, CP2112DebugLevels) = default;

 private:
  static constexpr uint8_t Bit(VMurCommCP2112debugLevel level) {
    return static_cast<uint8_t>(1u << level);
  }
  uint8_t bits_ = 0;
};

inline constexpr CP2112DebugLevels kDefaultCP2112DebugLevels{cp2112dlError, cp2112dlWarning};

}  // namespace kestrova
