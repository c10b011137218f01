#include "net/mur_tcp.h"

#include <algorithm>

#include "net/mur_tcp_internal.h"
#include "net/socket_error.h"
#include "net/tcp_config.h"

namespace kestrova {
namespace {

VMurTcp::DialogRunner& DialogRunnerSlot() {
  static VMurTcp::DialogRunner runner;
  return runner;
}

}  // namespace

namespace tcp_internal {

VMurTcp*& HookTarget() {
  thread_local VMurTcp* target = nullptr;
  return target;
}

}  // namespace tcp_internal

using tcp_internal::HookTarget;

VMurTcp::VMurTcp(Component* owner, MessageLoop* loop)
    : VMurCommunicationComponent(owner),
      loop_(loop != nullptr ? *loop : MainLoop()),
      server_socket_(std::make_unique<TServerSocket>(nullptr, &loop_)),
      client_socket_(std::make_unique<TClientSocket>(nullptr, &loop_)),
      internal_(std::make_unique<VMurDistributor>(nullptr)) {
  // Failing socket calls of the GUI thread are reported, never raised.
  SetSocketErrorProc(&VMurTcp::HookProc);

  TServerWinSocket* server = server_socket_->Socket();
  server->OnClientConnect = [this](Object*, TCustomWinSocket* s) { ServerClientConnectQuick(s); };
  server->OnClientRead = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientRead(sender, s);
  };
  server->OnClientWrite = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientWrite(sender, s);
  };
  server->OnClientDisconnect = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientDisconnect(sender, s);
  };
  server->OnClientError = [this](Object*, TCustomWinSocket* s, TErrorEvent event, int& code) {
    ServerClientError(s, event, code);
  };
  client_socket_->OnConnect = [this](Object*, TCustomWinSocket* s) { ServerClientConnectQuick(s); };
  client_socket_->OnRead = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientRead(sender, s);
  };
  client_socket_->OnWrite = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientWrite(sender, s);
  };
  client_socket_->OnDisconnect = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientDisconnect(sender, s);
  };
  client_socket_->OnError = [this](Object*, TCustomWinSocket* s, TErrorEvent event, int& code) {
    ServerClientError(s, event, code);
  };

  internal_->SetName("VMurTcp_Distributor");
  internal_->OnTimerPoll() = [this](VMurGeneralDistributor*, uint32_t& the_time) {
    Poll(the_time);
  };
  // With no link wanted and no connection left, a poll has nothing to read, write or retry.
  internal_->OnTimerPollIdle() = [this] {
    return !client_wanted_ && !server_wanted_ && !free_pending_ &&
           server_socket_->Socket()->ActiveConnections() == 0;
  };
}

VMurTcp::~VMurTcp() {
  SetDistributor(nullptr);
  StopComm();
  for (size_t i = clients_.size(); i-- > 0;) {
    VMurTcpClient* client = clients_[i];
    if (client == nullptr) continue;
    if (client->Socket() != nullptr) client->Socket()->Close();
    delete client;
  }
  clients_.clear();
  pending_events_.clear();
  internal_.reset();
  client_socket_.reset();
  server_socket_.reset();
  if (HookTarget() == this) HookTarget() = nullptr;
}

void VMurTcp::Loaded() {
  VMurCommunicationComponent::Loaded();
  internal_->SetName(Name() + "_FDistributor");
}

void VMurTcp::HookProc(int error_code) {
  if (HookTarget() != nullptr) HookTarget()->SocketErrorProc(error_code);
}

// Any failure to bind or listen means the server is not listening; the poll tries again.
void VMurTcp::SocketErrorProc(int error_code) {
  if (error_code == 0) return;
  server_listening_ = false;
  server_active_ = false;
}

void VMurTcp::Notification(Component* component, Operation operation) {
  VMurCommunicationComponent::Notification(component, operation);
  if (operation == Operation::kRemove && component == distributor_) {
    distributor_ = nullptr;
    internal_->SetDistributor(nullptr);
  }
}

void VMurTcp::SetDistributor(VMurGeneralDistributor* distributor) {
  if (distributor_ != nullptr) {
    distributor_->RemoveFreeNotification(this);
    internal_->SetDistributor(nullptr);
  }
  distributor_ = distributor;
  if (distributor_ != nullptr) {
    distributor_->FreeNotification(this);
    internal_->SetDistributor(distributor_);
  }
}

void VMurTcp::SetServerLocalAddress(const std::string& value) {
  if (Connected()) StopServer();
  server_local_address_ = value;
}

int VMurTcp::ServerPort() {
  if (server_listening_) return server_socket_->Socket()->LocalPort();
  return server_port_;
}

void VMurTcp::SetServerPort(int value) {
  if (Connected()) StopServer();
  server_port_ = value;
}

void VMurTcp::SetClientHost(const std::string& value) {
  if (value.empty()) {
    client_port_ = 0;
    client_host_.clear();
    return;
  }
  const bool was_wanted = client_wanted_;
  if (was_wanted) StopClient();
  std::string host = value;
  for (size_t i = value.size() - 1; i-- > 1;) {
    if (value[i] != ':') continue;
    const std::string digits = value.substr(i + 1);
    int port = -1;
    if (!digits.empty() && digits.size() <= 9 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      port = std::stoi(digits);
    }
    if (port >= 0) {
      client_port_ = port;
      host = value.substr(0, i);
    }
    break;
  }
  client_host_ = host;
  if (was_wanted) StartClient();
}

VMurTcpClient* VMurTcp::GetClient(int index) const {
  if (index < 0 || index >= ClientCount()) return nullptr;
  return clients_[static_cast<size_t>(index) + 1];
}

void VMurTcp::Free2() {
  if (busy_depth_ <= 0 && !in_poll_) {
    delete this;
    return;
  }
  free_pending_ = true;
  internal_->WakeTimer();  // the poll finishes the job
}

// Destruction from the loop once the handlers on the stack (and the socket layer's frames
// beneath them) have returned; the component goes quiet until then.
void VMurTcp::ScheduleDestroy() {
  if (dying_) return;
  dying_ = true;
  loop_.Post([this, life = std::weak_ptr<int>(life_)] {
    if (!life.expired()) delete this;
  });
}

std::string VMurTcp::GetConfigAsString() { return TcpConfigString(*this); }

void VMurTcp::SetConfigAsString(const std::string& config) { ApplyTcpConfigString(*this, config); }

bool VMurTcp::ShowSettingsDialog() { return ShowAddressDialog("Communication Settings", 0); }

bool VMurTcp::ShowAddressDialog(const std::string& caption, int language) {
  const DialogRunner& runner = DialogRunnerSlot();
  return runner ? runner(*this, caption, language) : false;
}

void VMurTcp::SetDialogRunner(DialogRunner runner) { DialogRunnerSlot() = std::move(runner); }

bool VMurTcp::StartComm() {
  const bool server = StartServer();
  const bool client = StartClient();
  return server || client;
}

void VMurTcp::StopComm() {
  StopServer();
  StopClient();
}

}  // namespace kestrova
