#include "monitor/traffic_display.h"

#include "util/tick_math.h"

namespace kestrova {
namespace {

constexpr VMurTerminal_LineType kLogLineType[] = {
    VMurTerminal_lt_NoType,    // end of line
    VMurTerminal_ltInLine,     // port 1
    VMurTerminal_ltMinusGrey,  // sent
    VMurTerminal_ltInLine,     // port 2
    VMurTerminal_ltExtra,      // messages
};

}  // namespace

TrafficDisplay::TrafficDisplay(TerminalOutput& terminal, RoleOf role_of, uint32_t start_time)
    : terminal_(terminal), role_of_(std::move(role_of)), last_data_time_(start_time) {}

void TrafficDisplay::WriteLog(LogKind kind, std::string_view text) {
  if (logger_ != nullptr) logger_->logData(kLogLineType[static_cast<int>(kind)], text, false);
}

void TrafficDisplay::LogMessage(std::string_view text) {
  WriteLog(LogKind::kMessage, text);
  WriteLog(LogKind::kEndOfLine, "");
}

void TrafficDisplay::EndLine(bool in_log) {
  if (in_log) WriteLog(LogKind::kEndOfLine, "");
  terminal_.EndLine();
}

// A received block carries the time it was read and a sent one the time it went out, so a
// block read just before a send may be handled just after it: that is no pause, and the last
// data time does not go back for it.
void TrafficDisplay::EndLineAfterPause(uint32_t the_time) {
  const int timeout = options_.packet_timeout_ms;
  if (timeout > 0 && !TickBefore(the_time, last_data_time_) &&
      TimeElapsed(last_data_time_, static_cast<uint32_t>(timeout), the_time)) {
    EndLine();
  }
}

void TrafficDisplay::NoteDataTime(uint32_t the_time) {
  if (!TickBefore(the_time, last_data_time_)) last_data_time_ = the_time;
}

VMurTerminal_LineType TrafficDisplay::ReceivedLineType(ChannelKey channel) const {
  const ChannelRole role = role_of_(channel);
  const ChannelMode mode = options_.mode;
  const bool hex = options_.protocol == Protocol::kHex;
  const bool network = (role == ChannelRole::kNil && mode == ChannelMode::kTcpClient) ||
                       (role == ChannelRole::kTcpClient && mode == ChannelMode::kTcpServer) ||
                       (role == ChannelRole::kNil && mode == ChannelMode::kUdpClient) ||
                       (role == ChannelRole::kUdpClient && mode == ChannelMode::kUdpServer);
  if (network) return hex ? VMurTerminal_ltBinPlusGrey : VMurTerminal_ltPlusGrey;
  if (role == ChannelRole::kPort2) return hex ? VMurTerminal_ltOutBin : VMurTerminal_ltOutLine;
  return hex ? VMurTerminal_ltInBin : VMurTerminal_ltInLine;
}

VMurTerminal_LineType TrafficDisplay::SentLineType(ChannelKey channel) const {
  const ChannelRole role = role_of_(channel);
  const ChannelMode mode = options_.mode;
  const bool hex = options_.protocol == Protocol::kHex || options_.protocol == Protocol::kA4A3;
  const bool network = (role == ChannelRole::kTcpComponent &&
                        (mode == ChannelMode::kTcpClient || mode == ChannelMode::kTcpServer)) ||
                       (role == ChannelRole::kUdpComponent && mode == ChannelMode::kUdpClient) ||
                       (role == ChannelRole::kUdpClient && mode == ChannelMode::kUdpServer);
  if (network) return hex ? VMurTerminal_ltBinMinusGrey : VMurTerminal_ltMinusGrey;
  if (role == ChannelRole::kPort2)
    return hex ? VMurTerminal_ltBinPlusBrown : VMurTerminal_ltPlusBrown;
  return hex ? VMurTerminal_ltBinMinusBrown : VMurTerminal_ltMinusBrown;
}

void TrafficDisplay::ShowReceived(VMurGeneralDistributor& sender, ChannelKey channel,
                                  uint32_t the_time, std::string_view data, bool packet_ended) {
  EndLineAfterPause(the_time);
  const ChannelRole role = role_of_(channel);
  const bool port1 = role == ChannelRole::kPort1 || role == ChannelRole::kNil;
  const bool logged =
      port1 ? options_.log_port1 : options_.log_port2 && role == ChannelRole::kPort2;
  if (!data.empty() && logged) WriteLog(port1 ? LogKind::kPort1 : LogKind::kPort2, data);
  NoteDataTime(the_time);
  if (!options_.stop) terminal_.AddText(data, ReceivedLineType(channel));
  terminal_.HighlightLine(sender.GetFilterColor(VMurGeneralDistributor::kReceive, channel));
  if (packet_ended) EndLine(logged);
}

void TrafficDisplay::ShowSent(ChannelKey channel, uint32_t the_time, std::string_view data,
                              bool packet_ended) {
  EndLineAfterPause(the_time);
  if (!data.empty() && options_.log_sent) WriteLog(LogKind::kSent, data);
  NoteDataTime(the_time);
  if (!options_.stop) terminal_.AddText(data, SentLineType(channel));
  if (packet_ended) EndLine(options_.log_sent);
}

}  // namespace kestrova
