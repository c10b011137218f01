#include "net/tcp_config.h"

#include <optional>
#include <string_view>

#include "net/mur_tcp.h"

namespace kestrova {
namespace {

// A whole decimal number with an optional leading "-"; nothing else may follow.
std::optional<int> WholeNumber(std::string_view text) {
  size_t i = text.starts_with('-') ? 1 : 0;
  if (i == text.size() || text.size() - i > 9) return std::nullopt;
  int value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return text.starts_with('-') ? -value : value;
}

// Reads the text up to ":" (or the end) and moves behind the ":".
std::string TokenToColon(std::string_view text, size_t& position) {
  const size_t colon = text.find(':', position);
  const size_t end = colon == std::string_view::npos ? text.size() : colon;
  std::string token(text.substr(position, end - position));
  position = colon == std::string_view::npos ? text.size() : colon + 1;
  return token;
}

// Reads an optional "-" and digits; nullopt (position unchanged) when there are no digits.
std::optional<int> Integer(std::string_view text, size_t& position) {
  size_t end = position;
  if (end < text.size() && text[end] == '-') ++end;
  const size_t digits = end;
  while (end < text.size() && end - digits < 9 && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == digits) return std::nullopt;
  const std::optional<int> value = WholeNumber(text.substr(position, end - position));
  position = end;
  return value;
}

}  // namespace

std::string TcpConfigString(VMurTcp& tcp) {
  std::string text = tcp.ClientHost() + ":" + std::to_string(tcp.ClientPort());
  const int server_port = tcp.ServerPort();
  if (server_port >= 0) {
    text += " " + tcp.ServerLocalAddress() + ":" + std::to_string(server_port);
  }
  return text;
}

void ApplyTcpConfigString(VMurTcp& tcp, const std::string& config) {
  const std::string_view text = config;
  size_t position = 0;
  tcp.SetClientHost(TokenToColon(text, position));
  if (const std::optional<int> port = Integer(text, position)) tcp.SetClientPort(*port);
  while (position < text.size() && text[position] == ' ') ++position;
  const std::string server = TokenToColon(text, position);
  if (position < text.size()) {
    tcp.SetServerLocalAddress(server);
    const std::optional<int> port = Integer(text, position);
    tcp.SetServerPort(port ? *port : tcp.ServerPort());
    return;
  }
  const std::optional<int> port = WholeNumber(server);
  tcp.SetServerPort(port && *port >= 0 ? *port : -1);
}

void ApplyAddressDialog(VMurTcp& tcp, const std::string& host_text, const std::string& port_text) {
  if (const std::optional<int> port = WholeNumber(port_text)) tcp.SetClientPort(*port);
  tcp.SetClientHost(host_text);
}

}  // namespace kestrova
