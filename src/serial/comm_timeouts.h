// The read and write time limits of a serial port component (milliseconds), addressed by
// index as the configuration string and the dialog list them, and the modem-poll period.
#pragma once

#include <array>
#include <cstdint>

namespace kestrova {

class TVSSComm32;

class VSSComm32Timeouts {
 public:
  enum Index : int {
    kReadInterval = 0,
    kReadTotalConst = 1,
    kReadTotalMult = 2,
    kWriteTotalConst = 3,
    kWriteTotalMult = 4,
  };
  static constexpr int kCount = 5;

  explicit VSSComm32Timeouts(TVSSComm32* comm = nullptr) : comm_(comm) {}
  VSSComm32Timeouts(const VSSComm32Timeouts&) = delete;
  VSSComm32Timeouts& operator=(const VSSComm32Timeouts&) = delete;

  // Throw ESerialRangeError for an index outside 0..4. A changed value reprograms the port.
  uint32_t Value(int index) const;
  void SetValue(int index, uint32_t value);
  // Stores without reprogramming (the configuration string reopens the port afterwards).
  void StoreValue(int index, uint32_t value);

  uint32_t ReadInterval() const { return values_[kReadInterval]; }
  uint32_t ReadTotalConst() const { return values_[kReadTotalConst]; }
  uint32_t ReadTotalMult() const { return values_[kReadTotalMult]; }
  uint32_t WriteTotalConst() const { return values_[kWriteTotalConst]; }
  uint32_t WriteTotalMult() const { return values_[kWriteTotalMult]; }

  // Kept by the component; a detached copy keeps its own.
  uint32_t ModemPollPeriod() const;
  void SetModemPollPeriod(uint32_t value);

  // Copies the five limits, then reprograms the port.
  void Assign(const VSSComm32Timeouts& source);

 private:
  static void CheckIndex(int index);

  TVSSComm32* const comm_;
  std::array<uint32_t, kCount> values_ = {10, 0, 0, 0, 0};
  uint32_t detached_poll_period_ = 10;
};

}  // namespace kestrova
