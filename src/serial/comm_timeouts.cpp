#include "serial/comm_timeouts.h"

#include <string>

#include "serial/comm_errors.h"
#include "serial/vss_comm32.h"

namespace kestrova {

void VSSComm32Timeouts::CheckIndex(int index) {
  if (index < 0 || index >= kCount) {
    throw ESerialRangeError("Serial timeout index " + std::to_string(index) + " out of range 0..4");
  }
}

uint32_t VSSComm32Timeouts::Value(int index) const {
  CheckIndex(index);
  return values_[index];
}

void VSSComm32Timeouts::SetValue(int index, uint32_t value) {
  CheckIndex(index);
  if (values_[index] == value) return;
  values_[index] = value;
  if (comm_ != nullptr) comm_->UpdateDCB2();
}

void VSSComm32Timeouts::StoreValue(int index, uint32_t value) {
  CheckIndex(index);
  values_[index] = value;
}

uint32_t VSSComm32Timeouts::ModemPollPeriod() const {
  return comm_ != nullptr ? comm_->ModemPollPeriod() : detached_poll_period_;
}

void VSSComm32Timeouts::SetModemPollPeriod(uint32_t value) {
  if (comm_ != nullptr) {
    comm_->SetModemPollPeriod(value);
  } else {
    detached_poll_period_ = value;
  }
}

void VSSComm32Timeouts::Assign(const VSSComm32Timeouts& source) {
  if (&source == this) return;
  values_ = source.values_;
  if (comm_ != nullptr) comm_->UpdateDCB2();
}

}  // namespace kestrova
