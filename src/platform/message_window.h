// The stand-in for a hidden window: a per-object message queue that other threads post to and
// that is dispatched to one handler on the thread of a MessageLoop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/message.h"
#include "platform/message_loop.h"

namespace kestrova {

// Messages reach the handler on the loop thread in the order they were posted, also across the
// windows and tasks of one loop (each message is one loop task); the handler owns what it
// receives. The window belongs to the thread that creates it, which must be the
// loop thread; it may be destroyed at any time there, even from its own handler: queued
// payloads are freed at once and the handler is not called again. Threads that post must be
// done posting before the window goes.
class MessageWindow {
 public:
  using Handler = std::function<void(Message message)>;

  MessageWindow(MessageLoop& loop, Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Any thread.
  void Post(uint32_t id, uintptr_t wparam = 0, intptr_t lparam = 0,
            std::unique_ptr<MessagePayload> payload = nullptr);

  // Any thread. Queues `messages` in order (leaving it empty) with one task on the loop, so the
  // owning thread wakes once for all of them.
  void PostAll(std::vector<Message>& messages);

  // Any thread. Returns once the handler has run with the message (true), or false when it was
  // dropped, the window went, or `timeout` (kWaitForever) ran out. A message still queued when
  // the time runs out is withdrawn; one whose handler is already running finishes regardless.
  // On the owning thread the handler is called directly, ahead of anything queued.
  bool Send(uint32_t id, uintptr_t wparam, intptr_t lparam, std::unique_ptr<MessagePayload> payload,
            std::chrono::milliseconds timeout);

  // Any thread. Removes the queued messages with `id`, freeing their payloads; returns how many.
  size_t DropMessages(uint32_t id);

  // Any thread. Queues a quit marker. Ordinary dispatch passes over a marker; it is there for
  // DispatchPendingUntilQuit.
  void PostQuit();

  // Owning thread. Dispatches what is queued up to the first quit marker and consumes the
  // marker (true); without a marker, dispatches everything queued (false). A component that
  // closes uses it to handle what its threads posted before they stopped.
  bool DispatchPendingUntilQuit();

 private:
  struct State;

  // One loop task delivering the `entries` oldest entries.
  void ScheduleDispatch(size_t entries = 1);

  MessageLoop& loop_;
  const std::thread::id owner_;
  std::shared_ptr<State> state_;
};

}  // namespace kestrova
