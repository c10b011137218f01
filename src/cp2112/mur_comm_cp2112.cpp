#include "cp2112/mur_comm_cp2112.h"

#include <optional>

#include "cp2112/cp2112_messages.h"
#include "cp2112/cp2112_runtime.h"
#include "cp2112/cp2112_thread.h"
#include "util/tokens.h"

namespace kestrova {

VMurCommCP2112::VMurCommCP2112(Component* owner, MessageLoop* loop)
    : VMurCommunicationComponent(owner),
      loop_(loop != nullptr ? *loop : MainLoop()),
      registered_with_(CP2112Runtime::Worker()) {
  window_ =
      std::make_unique<MessageWindow>(loop_, [this](Message m) { HandleMessage(std::move(m)); });
  if (VMurCommCP2112_Thread* worker = Worker()) worker->Run(kCP2112Register, this);
}

VMurCommCP2112::~VMurCommCP2112() {
  // No events from here on: the owner may be half gone. The worker closes the bridge as the
  // component unregisters, and forgets it before the window goes.
  if (VMurCommCP2112_Thread* worker = Worker()) worker->Run(kCP2112Unregister, this);
  window_.reset();
}

VMurCommCP2112_Thread* VMurCommCP2112::Worker() const {
  VMurCommCP2112_Thread* running = CP2112Runtime::Worker();
  return running != nullptr && running == registered_with_ ? running : nullptr;
}

void VMurCommCP2112::WantFree() {
  if (free_requested_) return;
  if (handler_depth_ > 0) {
    free_requested_ = true;
    return;
  }
  delete this;
}

void VMurCommCP2112::SetAutoReconnect(bool value) {
  auto_reconnect_ = value;
  if (value && !Connected() && !comm_port_.empty()) StartComm();
}

void VMurCommCP2112::ResetBridge() {
  if (VMurCommCP2112_Thread* worker = Worker()) worker->Post(WM_SSSCONTROL, kCP2112Reset, this);
}

std::string VMurCommCP2112::GetConfigAsString() { return QuoteToken(comm_port_, kTokenSeparators); }

void VMurCommCP2112::SetConfigAsString(const std::string& config) {
  std::string rest = config;
  comm_port_ = SplitFirstToken(rest, kTokenSeparators);
  StopComm();
  StartComm();
}

bool VMurCommCP2112::StartComm() {
  // An open wins over a stop asked for earlier in the same handler. The worker closes a bridge
  // that is open before it opens again.
  stop_requested_ = false;
  VMurCommCP2112_Thread* worker = Worker();
  std::optional<CP2112CommandResult> result;
  if (worker != nullptr) result = worker->Run(kCP2112Open, this, comm_port_);
  if (!result) {
    // Without the worker nothing can open; say so as an open of a bridge would.
    result.emplace();
    result->failure_text = worker == nullptr ? "No CP2112 bridge library is loaded"
                                             : "The CP2112 bridge worker has ended";
    handle_.store(Handle::kFailed);
    window_->Post(kCP2112State, CommStateFailed);
  }
  open_failure_text_ = result->failure_text;
  open_result_ = open_failure_text_.empty();
  return open_result_;
}

void VMurCommCP2112::StopComm() {
  if (handler_depth_ > 0) {
    stop_requested_ = true;
    return;
  }
  if (!CloseBridge()) return;
  // Hand out what the worker posted before it closed the bridge, seen as closed already.
  closing_ = true;
  ++handler_depth_;
  window_->PostQuit();
  window_->DispatchPendingUntilQuit();
  --handler_depth_;
  closing_ = false;
  stop_requested_ = false;
  // A handler asked to free the component while it closed; the caller of StopComm still holds
  // it, so it goes in a later turn.
  if (free_requested_) {
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
      if (!alive.expired()) delete this;
    });
  }
}

bool VMurCommCP2112::CloseBridge() {
  if (handle_.load() == Handle::kNone) return false;
  VMurCommCP2112_Thread* worker = Worker();
  if (worker == nullptr || !worker->Run(kCP2112Close, this)) {
    handle_.store(Handle::kNone);
    window_->Post(kCP2112State, CommStateDisconnected);
  }
  return true;
}

bool VMurCommCP2112::WriteCommData(std::string_view data) {
  if (data.empty()) return true;
  if (!Connected()) return false;
  VMurCommCP2112_Thread* worker = Worker();
  return worker != nullptr &&
         worker->Post(kCP2112WriteData, 0, this, MakePayload(std::string(data)));
}

bool VMurCommCP2112::Connected() { return handle_.load() == Handle::kOpen && !closing_; }

TCommState VMurCommCP2112::GetCommState() {
  if (closing_) return CommStateDisconnected;
  switch (handle_.load()) {
    case Handle::kOpen:
      return CommStateConnected;
    case Handle::kFailed:
      return CommStateFailed;
    case Handle::kNone:
      break;
  }
  return CommStateDisconnected;
}

void VMurCommCP2112::HandleMessage(Message message) {
  ++handler_depth_;
  try {
    Dispatch(message);
  } catch (...) {
    --handler_depth_;
    RunDeferred();
    throw;
  }
  --handler_depth_;
  RunDeferred();
}

void VMurCommCP2112::Dispatch(Message& message) {
  switch (message.id) {
    case kCP2112Received:
      if (const std::string* data = PayloadValue<std::string>(message.payload.get())) {
        DoReceiveData(*data);
      }
      break;
    case kCP2112Diagnostic:
      if (const std::string* text = PayloadValue<std::string>(message.payload.get())) {
        if (AdvancedReceiveEvent advanced = OnAdvancedReceiveData()) {
          advanced(this, ChannelKey::Pseudo(static_cast<int>(message.wparam)), *text);
        }
      }
      break;
    case kCP2112State:
      HandleStateChange(static_cast<TCommState>(message.wparam));
      break;
    default:
      break;
  }
}

void VMurCommCP2112::HandleStateChange(TCommState state) {
  if (state == CommStateFirst) state = GetCommState();
  if (state == last_state_) return;
  last_state_ = state;
  if (StateEvent plain = OnStateChange()) plain(this, state);
  if (AdvancedStateEvent advanced = OnAdvancedStateChange()) advanced(this, this, state);
}

void VMurCommCP2112::RunDeferred() {
  if (handler_depth_ > 0) return;
  if (free_requested_) {
    delete this;
    return;
  }
  if (stop_requested_) {
    stop_requested_ = false;
    StopComm();
  }
}

}  // namespace kestrova
