#include "serial/serial_dialog_model.h"

#include <charconv>
#include <optional>

#include "serial/vss_comm32.h"

namespace kestrova {
namespace {

struct Preset {
  std::string_view name;
  TBaudRate baud_rate;
  TDataBits data_bits;
  TParity parity;
  TStopBits stop_bits;
  bool dtr;
  VMurRTSControl rts_control;
  bool rts;
  bool cts_handshake;
};

constexpr Preset kPresets[] = {
    {"115k 8N1 On", TBaudRate::_115200, TDataBits::_8, TParity::None, TStopBits::_1, true,
     VMurSignalControl_RTSHandshake, true, true},
    {"115k 8N1 Sleep", TBaudRate::_115200, TDataBits::_8, TParity::None, TStopBits::_1, false,
     VMurSignalControl_RTSEnable, false, true},
    {"PSP-405", TBaudRate::_2400, TDataBits::_8, TParity::None, TStopBits::_1, true,
     VMurSignalControl_RTSEnable, true, false},
    {"Metex M-4640A", TBaudRate::_9600, TDataBits::_7, TParity::None, TStopBits::_2, true,
     VMurSignalControl_RTSEnable, false, false},
    {"Fatek", TBaudRate::_9600, TDataBits::_7, TParity::Even, TStopBits::_1, true,
     VMurSignalControl_RTSEnable, true, false},
};

constexpr std::string_view kLineOff = "Off";
constexpr std::string_view kLineOn = "On";
constexpr std::string_view kLineHighZ = "HighZ";
constexpr std::string_view kLineHandshake = "Handshake";
constexpr std::string_view kLineToggle = "Toggle";

// The index of the item equal to `text`, if any.
std::optional<size_t> ItemIndex(const std::vector<std::string>& items, std::string_view text) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return i;
  }
  return std::nullopt;
}

std::optional<uint32_t> ParseLimit(std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::string LineText(bool enabled, bool level) {
  if (!enabled) return std::string(kLineHighZ);
  return std::string(level ? kLineOn : kLineOff);
}

void ApplyPreset(TVSSComm32& comm, const Preset& preset) {
  comm.SetBaudRate(preset.baud_rate);
  comm.SetDataBits(preset.data_bits);
  comm.SetParity(preset.parity);
  comm.SetStopBits(preset.stop_bits);
  VSSComm32Signals& signals = comm.Signals();
  signals.SetDTRControl(VMurSignalControl_DTREnable);
  signals.SetDTR(preset.dtr);
  signals.SetRTSControl(preset.rts_control);
  signals.SetRTS(preset.rts);
  signals.SetCTSHandshake(preset.cts_handshake);
  signals.SetDSRHandshake(false);
}

}  // namespace

std::vector<std::string> BaudRateItems() {
  std::vector<std::string> items;
  for (const uint32_t rate : kBaudRateTable) items.push_back(std::to_string(rate));
  return items;
}

std::vector<std::string> DataBitsItems() {
  std::vector<std::string> items;
  for (const uint8_t bits : kDataBitsTable) items.push_back(std::to_string(bits));
  return items;
}

std::vector<std::string> ParityItems() { return {kParityNames.begin(), kParityNames.end()}; }

std::vector<std::string> StopBitsItems() { return {kStopBitsNames.begin(), kStopBitsNames.end()}; }

std::vector<std::string> DtrItems() {
  return {std::string(kLineOff), std::string(kLineOn), std::string(kLineHighZ),
          std::string(kLineHandshake)};
}

std::vector<std::string> RtsItems() {
  std::vector<std::string> items = DtrItems();
  items.emplace_back(kLineToggle);
  return items;
}

std::vector<std::string> PresetItems() {
  std::vector<std::string> items = {std::string(kNoPreset)};
  for (const Preset& preset : kPresets) items.emplace_back(preset.name);
  return items;
}

std::string SerialDialogCaption(const TVSSComm32& comm, const std::string& caption) {
  return caption.empty() ? "Settings for " + comm.CommPort() : caption;
}

SerialDialogValues ReadDialogValues(const TVSSComm32& comm) {
  const VSSComm32Signals& signals = comm.Signals();
  SerialDialogValues values;
  values.port = comm.CommPort();
  values.baud_rate = std::to_string(BaudRateValue(comm.BaudRate()));
  values.data_bits = std::to_string(DataBitsValue(comm.DataBits()));
  values.parity = std::string(ParityName(comm.Parity()));
  values.stop_bits = std::string(StopBitsName(comm.StopBits()));
  values.dtr = signals.DTRControl() == VMurSignalControl_DTRHandshake
                   ? std::string(kLineHandshake)
                   : LineText(signals.DTRControl() == VMurSignalControl_DTREnable, signals.DTR());
  switch (signals.RTSControl()) {
    case VMurSignalControl_RTSHandshake:
      values.rts = std::string(kLineHandshake);
      break;
    case VMurSignalControl_RTSToggle:
      values.rts = std::string(kLineToggle);
      break;
    default:
      values.rts = LineText(signals.RTSControl() == VMurSignalControl_RTSEnable, signals.RTS());
      break;
  }
  values.modem_poll_period = std::to_string(comm.ModemPollPeriod());
  for (int i = 0; i < VSSComm32Timeouts::kCount; ++i) {
    values.timeouts[i] = std::to_string(comm.Timeouts().Value(i));
  }
  values.cts_handshake = signals.CTSHandshake();
  values.dsr_handshake = signals.DSRHandshake();
  values.skip_events = comm.Options().SkipEvents();
  return values;
}

void ApplyDialogValues(TVSSComm32& comm, const SerialDialogValues& values) {
  comm.SetCommPort(values.port);
  if (auto i = ItemIndex(BaudRateItems(), values.baud_rate)) {
    comm.SetBaudRate(static_cast<TBaudRate>(*i));
  }
  if (auto i = ItemIndex(DataBitsItems(), values.data_bits)) {
    comm.SetDataBits(static_cast<TDataBits>(*i));
  }
  if (auto i = ItemIndex(ParityItems(), values.parity)) comm.SetParity(static_cast<TParity>(*i));
  if (auto i = ItemIndex(StopBitsItems(), values.stop_bits)) {
    comm.SetStopBits(static_cast<TStopBits>(*i));
  }

  VSSComm32Signals& signals = comm.Signals();
  if (values.dtr == kLineOff || values.dtr == kLineOn) {
    signals.SetDTRControl(VMurSignalControl_DTREnable);
    signals.SetDTR(values.dtr == kLineOn);
  } else if (values.dtr == kLineHighZ) {
    signals.SetDTRControl(VMurSignalControl_DTROff);
  } else if (values.dtr == kLineHandshake) {
    signals.SetDTRControl(VMurSignalControl_DTRHandshake);
  }
  if (values.rts == kLineOff || values.rts == kLineOn) {
    signals.SetRTSControl(VMurSignalControl_RTSEnable);
    signals.SetRTS(values.rts == kLineOn);
  } else if (values.rts == kLineHighZ) {
    signals.SetRTSControl(VMurSignalControl_RTSOff);
  } else if (values.rts == kLineHandshake) {
    signals.SetRTSControl(VMurSignalControl_RTSHandshake);
  } else if (values.rts == kLineToggle) {
    signals.SetRTSControl(VMurSignalControl_RTSToggle);
  }

  if (auto period = ParseLimit(values.modem_poll_period)) comm.SetModemPollPeriod(*period);
  for (int i = 0; i < VSSComm32Timeouts::kCount; ++i) {
    if (auto limit = ParseLimit(values.timeouts[i])) comm.Timeouts().SetValue(i, *limit);
  }
  signals.SetCTSHandshake(values.cts_handshake);
  signals.SetDSRHandshake(values.dsr_handshake);
  comm.Options().SetSkipEvents(values.skip_events);

  for (const Preset& preset : kPresets) {
    if (preset.name == values.preset) ApplyPreset(comm, preset);
  }
}

}  // namespace kestrova
