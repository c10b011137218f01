#include "net/tcp_client.h"

#include <arpa/inet.h>

#include <unordered_set>

#include "net/socket_win_socket.h"

namespace kestrova {
namespace {

// The live objects; only the GUI thread creates and destroys them, so no lock.
std::unordered_set<const Object*>& LiveClients() {
  static std::unordered_set<const Object*> live;
  return live;
}

}  // namespace

VMurTcpClient::VMurTcpClient(VMurTcp* owner) : owner_(owner) { LiveClients().insert(this); }

VMurTcpClient::~VMurTcpClient() { LiveClients().erase(this); }

bool VMurTcpClient::IsLive(const Object* object) { return LiveClients().contains(object); }

void VMurTcpClient::SetPendingOut(std::string_view bytes) {
  pending_out_.assign(bytes);
  pending_start_ = 0;
}

void VMurTcpClient::ConsumePendingOut(size_t count) {
  pending_start_ += count;
  if (pending_start_ >= pending_out_.size()) {
    pending_out_.clear();
    pending_start_ = 0;
  } else if (pending_start_ > pending_out_.size() / 2) {
    pending_out_.erase(0, pending_start_);
    pending_start_ = 0;
  }
}

uint32_t VMurTcpClient::RemoteIP() const {
  if (socket_ == nullptr) return ntohl(inet_addr(host_.c_str()));
  return ntohl(socket_->RemoteAddr().sin_addr.s_addr);
}

int VMurTcpClient::RemotePort() const { return socket_ == nullptr ? port_ : socket_->RemotePort(); }

std::string VMurTcpClient::AddressText() const {
  const uint32_t ip = RemoteIP();
  return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
         std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF) + ":" +
         std::to_string(RemotePort());
}

}  // namespace kestrova
