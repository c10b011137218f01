// Open-time options of a serial port component: the long-path prefix of the port name and the
// line events the reader does not watch. They take effect at the next open.
#pragma once

#include "serial/comm_types.h"

namespace kestrova {

class VSSComm32Options {
 public:
  VSSComm32Options() = default;
  VSSComm32Options(const VSSComm32Options&) = delete;
  VSSComm32Options& operator=(const VSSComm32Options&) = delete;

  Tristate EnhancedName() const { return enhanced_name_; }
  void SetEnhancedName(Tristate value) { enhanced_name_ = value; }
  VSSComm32SkipEvents SkipEvents() const { return skip_events_; }
  void SetSkipEvents(VSSComm32SkipEvents value) { skip_events_ = value; }

  void Assign(const VSSComm32Options& source) {
    enhanced_name_ = source.enhanced_name_;
    skip_events_ = source.skip_events_;
  }

 private:
  Tristate enhanced_name_ = TristateTrue;
  VSSComm32SkipEvents skip_events_;
};

}  // namespace kestrova
