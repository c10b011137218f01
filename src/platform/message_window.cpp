#include "platform/message_window.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

// Where a synchronous sender waits for the outcome of its message.
class SendReply {
 public:
  void Finish(bool handled) {
    std::lock_guard lock(mutex_);
    done_ = true;
    handled_ = handled;
    finished_.notify_all();
  }
  // The outcome, or nothing when `timeout` ran out first.
  std::optional<bool> Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const auto finished = [this] { return done_; };
    if (timeout < timeout.zero()) {
      finished_.wait(lock, finished);
    } else if (!finished_.wait_for(lock, timeout, finished)) {
      return std::nullopt;
    }
    return handled_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  bool handled_ = false;
};

struct Queued {
  Message message;
  bool quit_marker = false;
  std::shared_ptr<SendReply> reply;  // set for a synchronous send
};

// Tells the senders among `dropped` that their messages will not be handled.
void FailSenders(const std::vector<Queued>& dropped) {
  for (const Queued& entry : dropped) {
    if (entry.reply) entry.reply->Finish(false);
  }
}

}  // namespace

struct MessageWindow::State {
  explicit State(Handler on_message) : handler(std::move(on_message)) {}

  // The oldest queued entry; nothing once the window is closed.
  std::optional<Queued> TakeFront() {
    std::lock_guard lock(mutex);
    if (closed || queue.empty()) return std::nullopt;
    Queued entry = std::move(queue.front());
    queue.pop_front();
    return entry;
  }

  // Moves the entries that `drop` selects out of the queue, to be freed outside the lock.
  template <typename Predicate>
  std::vector<Queued> TakeIf(Predicate drop) {
    std::vector<Queued> taken;
    std::lock_guard lock(mutex);
    const auto kept = std::stable_partition(queue.begin(), queue.end(),
                                            [&drop](const Queued& entry) { return !drop(entry); });
    taken.assign(std::make_move_iterator(kept), std::make_move_iterator(queue.end()));
    queue.erase(kept, queue.end());
    return taken;
  }

  void Deliver(Queued entry) {
    if (entry.quit_marker) return;
    if (!entry.reply) {
      handler(std::move(entry.message));
      return;
    }
    // The sender learns the outcome even when the handler throws.
    struct Outcome {
      SendReply& reply;
      bool handled = false;
      ~Outcome() { reply.Finish(handled); }
    } outcome{*entry.reply};
    handler(std::move(entry.message));
    outcome.handled = true;
  }

  // Returns false when the window is closed and the entry was not queued.
  // Lets `add` append to the queue, unless the window is closed.
  template <typename Add>
  bool PushWith(Add add) {
    std::lock_guard lock(mutex);
    if (closed) return false;
    add(queue);
    return true;
  }
  bool Push(Queued entry) {
    return PushWith([&entry](std::deque<Queued>& to) { to.push_back(std::move(entry)); });
  }

  const Handler handler;
  std::mutex mutex;
  std::deque<Queued> queue;
  bool closed = false;
};

MessageWindow::MessageWindow(MessageLoop& loop, Handler handler)
    : loop_(loop),
      owner_(std::this_thread::get_id()),
      state_(std::make_shared<State>(std::move(handler))) {
  assert(state_->handler && "a MessageWindow needs a handler");
}

MessageWindow::~MessageWindow() {
  {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
  }
  FailSenders(state_->TakeIf([](const Queued&) { return true; }));
}

void MessageWindow::ScheduleDispatch(size_t entries) {
  // Each task takes the oldest entries; tasks outliving the window find nothing.
  loop_.Post([weak = std::weak_ptr<State>(state_), entries] {
    for (size_t taken = 0; taken < entries; ++taken) {
      const std::shared_ptr<State> state = weak.lock();
      if (!state) return;
      std::optional<Queued> entry = state->TakeFront();
      if (!entry) return;
      state->Deliver(std::move(*entry));
    }
  });
}

void MessageWindow::Post(uint32_t id, uintptr_t wparam, intptr_t lparam,
                         std::unique_ptr<MessagePayload> payload) {
  if (state_->Push({{id, wparam, lparam, std::move(payload)}, false, nullptr})) {
    ScheduleDispatch();
  }
}

void MessageWindow::PostAll(std::vector<Message>& messages) {
  if (messages.empty()) return;
  const size_t count = messages.size();
  const bool queued = state_->PushWith([&messages](std::deque<Queued>& to) {
    for (Message& message : messages) to.push_back({std::move(message), false, nullptr});
  });
  messages.clear();
  if (queued) ScheduleDispatch(count);
}

bool MessageWindow::Send(uint32_t id, uintptr_t wparam, intptr_t lparam,
                         std::unique_ptr<MessagePayload> payload,
                         std::chrono::milliseconds timeout) {
  if (std::this_thread::get_id() == owner_) {
    state_->handler({id, wparam, lparam, std::move(payload)});
    return true;
  }
  auto reply = std::make_shared<SendReply>();
  const std::shared_ptr<State> state = state_;
  if (!state->Push({{id, wparam, lparam, std::move(payload)}, false, reply})) return false;
  ScheduleDispatch();
  if (const std::optional<bool> handled = reply->Wait(timeout)) return *handled;
  // Withdraw it unhandled; if the loop thread has taken it already, it may just have finished.
  if (state->TakeIf([&reply](const Queued& entry) { return entry.reply == reply; }).empty()) {
    return reply->Wait(std::chrono::milliseconds::zero()).value_or(false);
  }
  return false;
}

size_t MessageWindow::DropMessages(uint32_t id) {
  const std::vector<Queued> dropped = state_->TakeIf(
      [id](const Queued& entry) { return !entry.quit_marker && entry.message.id == id; });
  FailSenders(dropped);
  return dropped.size();
}

void MessageWindow::PostQuit() {
  if (state_->Push({{}, true, nullptr})) ScheduleDispatch();
}

bool MessageWindow::DispatchPendingUntilQuit() {
  // The handler may destroy this window; the state lives on until the loop ends.
  const std::shared_ptr<State> state = state_;
  while (std::optional<Queued> entry = state->TakeFront()) {
    if (entry->quit_marker) return true;
    state->Deliver(std::move(*entry));
  }
  return false;
}

}  // namespace kestrova
