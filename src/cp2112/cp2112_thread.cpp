#include "cp2112/cp2112_thread.h"

#include <array>
#include <exception>
#include <future>
#include <system_error>

#include "cp2112/cp2112_thread_internal.h"
#include "cp2112/mur_comm_cp2112.h"
#include "platform/wait.h"
#include "util/channel_key.h"

namespace kestrova {
namespace {

// Wait between polls by the fast-poll counter: the first wait after a write is short, so an
// answer to what was just sent shows quickly.
constexpr std::array<std::chrono::milliseconds, 5> kPollWait = {
    std::chrono::milliseconds(300), std::chrono::milliseconds(300), std::chrono::milliseconds(300),
    std::chrono::milliseconds(300), std::chrono::milliseconds(100)};

}  // namespace

VMurCommCP2112_Thread::VMurCommCP2112_Thread(const HidSmbusFunctions& calls) : calls_(calls) {}

VMurCommCP2112_Thread::~VMurCommCP2112_Thread() { Stop(); }

void VMurCommCP2112_Thread::Stop() {
  stop_.Set();
  Shutdown();
}

bool VMurCommCP2112_Thread::Post(uint32_t id, uintptr_t wparam, VMurCommCP2112* component,
                                 std::unique_ptr<MessagePayload> payload) {
  std::lock_guard lock(post_mutex_);
  if (!accepting_) return false;
  queue_.Post(id, wparam, reinterpret_cast<intptr_t>(component), std::move(payload));
  return true;
}

std::optional<CP2112CommandResult> VMurCommCP2112_Thread::Run(CP2112Command command,
                                                              VMurCommCP2112* component,
                                                              std::string port_name) {
  auto payload = std::make_unique<CommandPayload>();
  payload->port_name = std::move(port_name);
  std::future<CP2112CommandResult> done = payload->done.get_future();
  if (!Post(WM_SSSCONTROL, command, component, std::move(payload))) return std::nullopt;
  try {
    return done.get();
  } catch (const std::future_error&) {
    return std::nullopt;  // the worker ended with the command still queued
  }
}

void VMurCommCP2112_Thread::Execute() {
  try {
    Loop();
  } catch (const std::system_error&) {
    // A failed wait ends the worker like the stop request does.
  }
  CloseAll();
  RefuseFurtherMessages();
}

void VMurCommCP2112_Thread::Loop() {
  const std::array<int, 2> wait_fds = {stop_.fd(), queue_.fd()};
  while (!Terminated()) {
    if (std::optional<Message> message = queue_.TryGet()) {
      Handle(*message);
      continue;
    }
    PollingPass();
    RecoverResets();
    if (poll_at_once_) {
      poll_at_once_ = false;
      continue;
    }
    const std::chrono::milliseconds wait = kPollWait[fast_poll_];
    if (fast_poll_ > 0) --fast_poll_;
    if (WaitForAny(wait_fds, wait) == 0) return;
  }
}

void VMurCommCP2112_Thread::Handle(Message& message) {
  auto* component = reinterpret_cast<VMurCommCP2112*>(message.lparam);
  Link* link = Find(component);
  try {
    if (message.id == WM_SSSCONTROL) {
      HandleCommand(message, link);
      return;
    }
    // Steps and data queued for a component that has since unregistered are dropped.
    if (link == nullptr) return;
    switch (message.id) {
      case kCP2112ReadStep:
        if (link->open) ReadStep(*link);
        break;
      case kCP2112WriteData:
        if (const std::string* data = PayloadValue<std::string>(message.payload.get())) {
          const bool idle = link->pending.empty();
          link->pending.append(*data);
          if (idle) PostToWorker(kCP2112WriteStep, *link);
        }
        break;
      case kCP2112WriteStep:
        WriteStep(*link);
        break;
      default:
        break;
    }
  } catch (const std::exception& error) {
    if (link != nullptr) {
      Diagnose(*link, cp2112dlError, std::string("CP2112 thread exception ") + error.what());
    }
  }
}

void VMurCommCP2112_Thread::HandleCommand(Message& message, Link* link) {
  auto* command = dynamic_cast<CommandPayload*>(message.payload.get());
  CP2112CommandResult result;
  switch (message.wparam) {
    case kCP2112Register:
      if (link == nullptr) {
        links_.push_back(std::make_unique<Link>());
        links_.back()->component = reinterpret_cast<VMurCommCP2112*>(message.lparam);
      }
      break;
    case kCP2112Open:
      if (link == nullptr) return;
      result.failure_text = Open(*link, command != nullptr ? command->port_name : std::string());
      break;
    case kCP2112Close:
      // Again at the end of the queue, so that what was queued before it is done first.
      queue_.Post(WM_SSSCONTROL, kCP2112CloseNow, message.lparam, std::move(message.payload));
      return;
    case kCP2112CloseNow:
      if (link == nullptr) break;
      CloseDevice(*link);
      link->component->handle_.store(VMurCommCP2112::Handle::kNone);
      PostState(*link, CommStateDisconnected);
      break;
    case kCP2112Unregister:
      if (link == nullptr) break;
      CloseDevice(*link);
      std::erase_if(links_, [link](const std::unique_ptr<Link>& l) { return l.get() == link; });
      break;
    case kCP2112Reset:
      if (link == nullptr || !link->open) break;
      if (const HID_SMBUS_STATUS status = calls_.Reset(link->device); status != 0) {
        Diagnose(
            *link, cp2112dlError,
            "Failed HidSmbus_Reset on " + link->name + " , returned " + std::to_string(status));
      }
      break;
    case kCP2112List:
      result.names = ListDevices();
      break;
    default:
      if (link != nullptr) {
        Diagnose(*link, cp2112dlWarning,
                 "Unknown WM_SSSCONTROL " + std::to_string(message.wparam) + " on " + link->name);
      }
      break;
  }
  if (command != nullptr) command->done.set_value(std::move(result));
}

void VMurCommCP2112_Thread::PollingPass() {
  for (const std::unique_ptr<Link>& link : links_) {
    const TProtocolCP2112 protocol = link->component->protocol_.load();
    if (protocol == cp2112pManualRead || !link->open) continue;
    try {
      ReadStep(*link);
    } catch (const std::exception& error) {
      Diagnose(*link, cp2112dlError, std::string("CP2112 thread exception ") + error.what());
    }
  }
}

void VMurCommCP2112_Thread::RecoverResets() {
  for (const std::unique_ptr<Link>& link : links_) {
    if (!link->needs_reset) continue;
    link->needs_reset = false;
    RecoverReset(*link);
  }
}

void VMurCommCP2112_Thread::CloseAll() {
  for (const std::unique_ptr<Link>& link : links_) CloseDevice(*link);
  links_.clear();
}

void VMurCommCP2112_Thread::RefuseFurtherMessages() {
  {
    std::lock_guard lock(post_mutex_);
    accepting_ = false;
  }
  // Commands still queued break their waiters' promises as their payloads go.
  while (queue_.TryGet()) {
  }
}

VMurCommCP2112_Thread::Link* VMurCommCP2112_Thread::Find(const VMurCommCP2112* component) {
  for (const std::unique_ptr<Link>& link : links_) {
    if (link->component == component) return link.get();
  }
  return nullptr;
}

void VMurCommCP2112_Thread::Diagnose(const Link& link, VMurCommCP2112debugLevel level,
                                     const std::string& text) {
  if (!link.component->DebugLevels().Contains(level)) return;
  link.component->window_->Post(kCP2112Diagnostic, ChannelKey::kFirstPseudo + level, 0,
                                MakePayload(text));
}

void VMurCommCP2112_Thread::PostState(const Link& link, TCommState state) {
  link.component->window_->Post(kCP2112State, state);
}

void VMurCommCP2112_Thread::PostToWorker(uint32_t id, const Link& link) {
  queue_.Post(id, 0, reinterpret_cast<intptr_t>(link.component));
}

}  // namespace kestrova
