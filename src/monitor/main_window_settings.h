// The main window's stored options: the values kept in section "Options" of the application's
// settings, with their defaults, read at start-up and written back when the window closes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/framers.h"
#include "monitor/signal_indicator.h"

namespace kestrova {

class VMurAppInfo;

struct MainWindowSettings {
  std::string protocol;  // the selected protocol's name
  std::string filename = "Pokusy_%1.rtf";
  std::string file_macro1 = "1";
  std::string packet_timeout = "100";
  std::string log_file = "KestLog_1.txt";
  bool log_com1 = false;
  bool log_com2 = false;
  bool log_times = false;
  std::string hex_delim = "7E";
  std::string skip_byte;
  std::string port1;
  std::string port2;
  // Reporting flags of the signal indicators, in kSignalNames order.
  std::array<int, kSignalIndicatorCount> signal_flags{};
  // The colour filter's rules, in "Options\FilterRecv".
  std::vector<std::string> filter_rules;
};

// Every value with its default where nothing is stored.
MainWindowSettings ReadMainWindowSettings(const VMurAppInfo& app_info);
// Writes the values (rules beyond the new count stay in place, unread); a failure to write the
// per-user settings raises ERegistryException.
void WriteMainWindowSettings(VMurAppInfo& app_info, const MainWindowSettings& settings);

// What the user is told about a stored value `name` that was refused for `reason`: its
// default stands in until the user changes it or the window closes and stores it.
std::string RefusedSettingNotice(std::string_view name, std::string_view reason);

// The protocol a stored name selects: a protocol's exact name, or "PPP", which older versions
// stored for the Hex view; nothing for any other text (the designed choice stays).
std::optional<Protocol> ProtocolFromSetting(std::string_view name);

}  // namespace kestrova
