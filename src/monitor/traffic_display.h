// The last leg of received bytes: from the distribution chain's transfer to the terminal view
// and the log. A pause longer than the packet timeout closes the open line first; the line kind
// follows the channel and the port mode; a framed packet end ends the line.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "distribution/general_distributor.h"
#include "monitor/framers.h"
#include "terminal/logger.h"
#include "terminal/terminal_output.h"

namespace kestrova {

// What a channel of the main window's distributor is: nil, a port, a network component itself
// or one of its peers.
enum class ChannelRole {
  kNil,
  kPort1,
  kPort2,
  kTcpComponent,
  kUdpComponent,
  kTcpClient,
  kUdpClient,
  kOther
};

// How port 1 is used: serial or bridge, TCP client, TCP server, UDP client, UDP server.
enum class ChannelMode : int {
  kSerial = 0,
  kTcpClient = 1,
  kTcpServer = 2,
  kUdpClient = 3,
  kUdpServer = 4
};

// The window's own log kinds.
enum class LogKind : int { kEndOfLine = 0, kPort1 = 1, kSent = 2, kPort2 = 3, kMessage = 4 };

struct TrafficOptions {
  Protocol protocol = Protocol::kText;
  ChannelMode mode = ChannelMode::kSerial;
  int packet_timeout_ms = 100;  // -1: lines end only at packet ends
  bool log_port1 = false;
  bool log_port2 = false;
  bool log_sent = false;
  bool stop = false;  // the view stands still; framing and logging go on
};

class TrafficDisplay {
 public:
  using RoleOf = std::function<ChannelRole(ChannelKey)>;

  TrafficDisplay(TerminalOutput& terminal, RoleOf role_of, uint32_t start_time);

  TrafficOptions& Options() { return options_; }
  // Logging does nothing until the window has its logger.
  void SetLogger(VMurLogger* logger) { logger_ = logger; }
  void WriteLog(LogKind kind, std::string_view text);
  // A message of the program's own as a whole log line: what follows starts a line of its own,
  // as it does in the view.
  void LogMessage(std::string_view text);

  // The receive Transfer handler's work: `packet_ended` when a framer closed a packet.
  void ShowReceived(VMurGeneralDistributor& sender, ChannelKey channel, uint32_t the_time,
                    std::string_view data, bool packet_ended);
  // The send Transfer handler's work: the same rules in the sent-data kinds, no highlight.
  void ShowSent(ChannelKey channel, uint32_t the_time, std::string_view data, bool packet_ended);
  // Ends the open line when more than the packet timeout passed since the last data.
  void EndLineAfterPause(uint32_t the_time);

  uint32_t LastDataTime() const { return last_data_time_; }
  void SetLastDataTime(uint32_t the_time) { last_data_time_ = the_time; }

  // The view's line kind for data received on `channel`.
  VMurTerminal_LineType ReceivedLineType(ChannelKey channel) const;
  // The view's line kind for data sent to `channel`.
  VMurTerminal_LineType SentLineType(ChannelKey channel) const;

 private:
  // Ends the view's line, and the log's when `in_log`. A packet's end reaches the log only when
  // the packet went to the log: traffic left out of it (sent bytes, an unticked port) must not
  // cut the lines of the traffic that is in it.
  void EndLine(bool in_log = true);
  void NoteDataTime(uint32_t the_time);

  TerminalOutput& terminal_;
  RoleOf role_of_;
  VMurLogger* logger_ = nullptr;
  TrafficOptions options_;
  uint32_t last_data_time_;
};

}  // namespace kestrova
