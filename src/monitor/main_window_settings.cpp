#include "monitor/main_window_settings.h"

#include <algorithm>

#include "appinfo/mur_app_info.h"

namespace kestrova {
namespace {

constexpr std::string_view kOptions = "Options";
constexpr std::string_view kFilterRules = "Options\\FilterRecv";
// A damaged count must not make the start-up read (and hold) millions of empty rules.
constexpr int kMaxFilterRules = 10000;

// "LogCom1CTS" for "CTS1": the port's number moves to the front.
std::string SignalValueName(std::string_view signal_name) {
  return "LogCom" + std::string(signal_name.substr(signal_name.size() - 1)) +
         std::string(signal_name.substr(0, signal_name.size() - 1));
}

}  // namespace

MainWindowSettings ReadMainWindowSettings(const VMurAppInfo& app_info) {
  const MainWindowSettings defaults;
  MainWindowSettings settings;
  const auto text = [&](std::string_view name, const std::string& default_value) {
    return app_info.ReadString(kOptions, name, default_value);
  };
  const auto flag = [&](std::string_view name) {
    return app_info.ReadInteger(kOptions, name, 0) != 0;
  };
  settings.protocol = text("Protocol", defaults.protocol);
  settings.filename = text("Filename", defaults.filename);
  settings.file_macro1 = text("FileMacro1", defaults.file_macro1);
  settings.packet_timeout = text("PacketTimeout", defaults.packet_timeout);
  settings.log_file = text("LogFile", defaults.log_file);
  settings.log_com1 = flag("LogCom1");
  settings.log_com2 = flag("LogCom2");
  settings.log_times = flag("LogTimes");
  settings.hex_delim = text("HexDelim", defaults.hex_delim);
  settings.skip_byte = text("SkipByte", defaults.skip_byte);
  settings.port1 = text("Port1", defaults.port1);
  settings.port2 = text("Port2", defaults.port2);
  for (int i = 0; i < kSignalIndicatorCount; ++i) {
    settings.signal_flags[i] = app_info.ReadInteger(kOptions, SignalValueName(kSignalNames[i]), 0);
  }
  const int rule_count = std::min(app_info.ReadInteger(kFilterRules, "_Count", 0), kMaxFilterRules);
  for (int i = 0; i < rule_count; ++i) {
    settings.filter_rules.push_back(app_info.ReadString(kFilterRules, std::to_string(i), ""));
  }
  return settings;
}

void WriteMainWindowSettings(VMurAppInfo& app_info, const MainWindowSettings& settings) {
  app_info.WriteString(kOptions, "Port1", settings.port1);
  app_info.WriteString(kOptions, "Port2", settings.port2);
  app_info.WriteString(kOptions, "PacketTimeout", settings.packet_timeout);
  app_info.WriteString(kOptions, "FileMacro1", settings.file_macro1);
  app_info.WriteString(kOptions, "Filename", settings.filename);
  app_info.WriteString(kOptions, "Protocol", settings.protocol);
  app_info.WriteString(kOptions, "LogFile", settings.log_file);
  app_info.WriteInteger(kOptions, "LogCom1", settings.log_com1 ? 1 : 0);
  app_info.WriteInteger(kOptions, "LogCom2", settings.log_com2 ? 1 : 0);
  app_info.WriteInteger(kOptions, "LogTimes", settings.log_times ? 1 : 0);
  app_info.WriteString(kOptions, "HexDelim", settings.hex_delim);
  app_info.WriteString(kOptions, "SkipByte", settings.skip_byte);
  for (int i = 0; i < kSignalIndicatorCount; ++i) {
    app_info.WriteInteger(kOptions, SignalValueName(kSignalNames[i]), settings.signal_flags[i]);
  }
  app_info.WriteInteger(kFilterRules, "_Count", static_cast<int>(settings.filter_rules.size()));
  for (size_t i = 0; i < settings.filter_rules.size(); ++i) {
    app_info.WriteString(kFilterRules, std::to_string(i), settings.filter_rules[i]);
  }
}

std::string RefusedSettingNotice(std::string_view name, std::string_view reason) {
  return "Stored setting \"" + std::string(name) + "\" not used (" + std::string(reason) +
         "); its default applies";
}

std::optional<Protocol> ProtocolFromSetting(std::string_view name) {
  if (name == "PPP") return Protocol::kHex;
  for (int i = 0; i < kProtocolCount; ++i) {
    if (name == ProtocolName(static_cast<Protocol>(i))) return static_cast<Protocol>(i);
  }
  return std::nullopt;
}

}  // namespace kestrova
