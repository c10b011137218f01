// The one-line configuration string of TVSSComm32: seven double-quoted fields (port, bit rate,
// data bits, stop bits, parity, control lines, time limits), read field by field, each
// unknown value keeping what it would have set.
#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "serial/comm_errors.h"
#include "serial/vss_comm32.h"
#include "util/bool_text.h"
#include "util/text_scan.h"
#include "util/tokens.h"

namespace kestrova {
namespace {

// A whole token as a decimal integer with an optional sign; nullopt for anything else.
std::optional<int64_t> ParseInteger(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  int64_t value = 0;
  const char* end = token.data() + token.size();
  const auto [stop, error] = std::from_chars(token.data(), end, value);
  if (token.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// The next field: blanks before it are skipped, so "a", "b" reads like "a","b".
std::string NextField(std::string_view text, size_t& position) {
  SkipSpaces(text, position);
  std::string token;
  NextToken(text, position, kTokenSeparators, token);
  return token;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  quoted.push_back('"');
  return quoted;
}

struct LineSetting {
  std::optional<int64_t> control;
  std::string level;
};

// "control/level"; a part without "/" is a control alone.
LineSetting SplitLineSetting(std::string_view part) {
  const size_t slash = part.find('/');
  LineSetting setting;
  setting.control = ParseInteger(part.substr(0, slash));
  if (slash != std::string_view::npos) setting.level = std::string(part.substr(slash + 1));
  return setting;
}

// Numbers of the time-limit field, checked before anything is changed: a value the limits
// cannot hold refuses the whole string.
std::array<std::optional<uint32_t>, VSSComm32Timeouts::kCount> ReadTimeouts(
    std::string_view field) {
  std::array<std::optional<uint32_t>, VSSComm32Timeouts::kCount> values;
  size_t position = 0;
  for (auto& value : values) {
    const std::optional<int64_t> number = ParseInteger(NextField(field, position));
    if (!number) continue;
    if (*number < 0 || *number > UINT32_MAX) {
      throw ESerialRangeError("Serial time limit " + std::to_string(*number) +
                              " out of range 0..4294967295");
    }
    value = static_cast<uint32_t>(*number);
  }
  return values;
}

}  // namespace

std::string TVSSComm32::GetConfigAsString() {
  std::string config = Quoted(comm_port_);
  config += ",\"" + std::to_string(BaudRateValue(baud_rate_)) + '"';
  config += ",\"" + std::to_string(DataBitsValue(data_bits_)) + '"';
  config += ",\"" + std::string(StopBitsName(stop_bits_)) + '"';
  config += ",\"" + std::string(ParityName(parity_)) + '"';
  config += ",\"" + std::to_string(signals_.DTRControl()) + '/' + BooleanToText(signals_.DTR()) +
            ' ' + std::to_string(signals_.RTSControl()) + '/' + BooleanToText(signals_.RTS()) + '"';
  config += ",\"";
  for (int i = 0; i < VSSComm32Timeouts::kCount; ++i) {
    if (i > 0) config += ' ';
    config += std::to_string(timeouts_.Value(i));
  }
  config += '"';
  return config;
}

void TVSSComm32::SetConfigAsString(const std::string& config) {
  size_t position = 0;
  const std::string port = NextField(config, position);
  const std::string rate = NextField(config, position);
  const std::string data_bits = NextField(config, position);
  const std::string stop_bits = NextField(config, position);
  const std::string parity = NextField(config, position);
  const std::string lines = NextField(config, position);
  const auto timeouts = ReadTimeouts(NextField(config, position));

  bool changed = false;
  auto store = [&changed](auto& member, auto value) {
    if (member == value) return;
    member = value;
    changed = true;
  };
  if (!port.empty() && port != "*") store(comm_port_, port);
  if (const std::optional<int64_t> value = ParseInteger(rate)) {
    if (const std::optional<TBaudRate> entry = BaudRateFromValue(*value)) {
      store(baud_rate_, *entry);
    }
  }
  if (const std::optional<int64_t> value = ParseInteger(data_bits)) {
    if (const std::optional<TDataBits> entry = DataBitsFromValue(*value)) {
      store(data_bits_, *entry);
    }
  }
  if (const std::optional<TStopBits> entry = StopBitsFromName(stop_bits)) {
    store(stop_bits_, *entry);
  }
  if (const std::optional<TParity> entry = ParityFromName(parity)) store(parity_, *entry);

  // Control lines go through the setters, which reprogram an open port at once.
  size_t lines_position = 0;
  const LineSetting dtr = SplitLineSetting(NextField(lines, lines_position));
  const LineSetting rts = SplitLineSetting(NextField(lines, lines_position));
  if (dtr.control && *dtr.control >= 0 && *dtr.control <= 2 &&
      *dtr.control != signals_.DTRControl()) {
    signals_.SetDTRControl(static_cast<VMurDTRControl>(*dtr.control));
    changed = true;
  }
  if (const bool level = TextToBoolean(dtr.level, signals_.DTR()); level != signals_.DTR()) {
    signals_.SetDTR(level);
    changed = true;
  }
  if (rts.control && *rts.control >= 0 && *rts.control <= 3 &&
      *rts.control != signals_.RTSControl()) {
    signals_.SetRTSControl(static_cast<VMurRTSControl>(*rts.control));
    changed = true;
  }
  if (const bool level = TextToBoolean(rts.level, signals_.RTS()); level != signals_.RTS()) {
    signals_.SetRTS(level);
    changed = true;
  }

  for (int i = 0; i < VSSComm32Timeouts::kCount; ++i) {
    if (timeouts[i] && *timeouts[i] != timeouts_.Value(i)) {
      timeouts_.StoreValue(i, *timeouts[i]);
      changed = true;
    }
  }

  if (changed) {
    if (Connected()) StopComm();
    if (auto_reconnect_) StartComm();
  } else if (!Connected() && auto_reconnect_) {
    StartComm();
  }
}

}  // namespace kestrova
