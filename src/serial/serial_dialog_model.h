// The contents of the serial settings dialog without the window: the list items, the values
// shown for a component, and how OK applies them (in a fixed order, presets last).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "serial/comm_timeouts.h"
#include "serial/comm_types.h"

namespace kestrova {

class TVSSComm32;

inline constexpr std::string_view kNoPreset = "---";

// The texts of the controls, as the dialog shows and OK reads them.
struct SerialDialogValues {
  std::string port;
  std::string baud_rate;
  std::string data_bits;
  std::string parity;
  std::string stop_bits;
  std::string dtr;  // one of DtrItems()
  std::string rts;  // one of RtsItems()
  std::string preset = std::string(kNoPreset);
  std::string modem_poll_period;
  std::array<std::string, VSSComm32Timeouts::kCount> timeouts;
  bool cts_handshake = false;
  bool dsr_handshake = false;
  VSSComm32SkipEvents skip_events;
};

std::vector<std::string> BaudRateItems();
std::vector<std::string> DataBitsItems();
std::vector<std::string> ParityItems();
std::vector<std::string> StopBitsItems();
std::vector<std::string> DtrItems();
std::vector<std::string> RtsItems();
// "---" first, then the presets.
std::vector<std::string> PresetItems();

// `caption`, or "Settings for <port>" when it is empty.
std::string SerialDialogCaption(const TVSSComm32& comm, const std::string& caption);
SerialDialogValues ReadDialogValues(const TVSSComm32& comm);
// What OK does, through the component's setters: port, framing, control lines, time limits,
// handshakes and skipped events, then the preset, which overrides what it names. A text that
// matches no item (or no number) leaves its setting alone.
void ApplyDialogValues(TVSSComm32& comm, const SerialDialogValues& values);

}  // namespace kestrova
