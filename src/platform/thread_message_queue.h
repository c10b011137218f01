// The message queue of a worker thread: any thread posts, the owning thread takes, and its
// descriptor is readable while messages wait, so the thread can poll it with events and ports.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/message.h"

namespace kestrova {

class ThreadMessageQueue {
 public:
  // Throws std::system_error when no eventfd can be had.
  ThreadMessageQueue();
  ~ThreadMessageQueue();
  ThreadMessageQueue(const ThreadMessageQueue&) = delete;
  ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

  // Any thread.
  void Post(uint32_t id, uintptr_t wparam = 0, intptr_t lparam = 0,
            std::unique_ptr<MessagePayload> payload = nullptr);

  // The owning thread. Takes the oldest message without waiting.
  std::optional<Message> TryGet();
  // The owning thread. Takes the oldest message, waiting up to `timeout` (kWaitForever) for one.
  std::optional<Message> Get(std::chrono::milliseconds timeout);

  // Readable exactly while the queue holds a message.
  int fd() const { return fd_; }

 private:
  const int fd_;
  std::mutex mutex_;
  std::deque<Message> messages_;
};

}  // namespace kestrova
