#include "platform/thread_message_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/wait.h"

namespace kestrova {
namespace {

int CreateEventFd() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

}  // namespace

ThreadMessageQueue::ThreadMessageQueue() : fd_(CreateEventFd()) {}

ThreadMessageQueue::~ThreadMessageQueue() { close(fd_); }

void ThreadMessageQueue::Post(uint32_t id, uintptr_t wparam, intptr_t lparam,
                              std::unique_ptr<MessagePayload> payload) {
  std::lock_guard lock(mutex_);
  messages_.push_back({id, wparam, lparam, std::move(payload)});
  // The descriptor follows the queue under the lock: signalled on the first message only.
  if (messages_.size() == 1) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
  }
}

std::optional<Message> ThreadMessageQueue::TryGet() {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  Message message = std::move(messages_.front());
  messages_.pop_front();
  if (messages_.empty()) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
  }
  return message;
}

std::optional<Message> ThreadMessageQueue::Get(std::chrono::milliseconds timeout) {
  if (auto message = TryGet()) return message;
  const int fds[] = {fd_};
  if (WaitForAny(fds, timeout) < 0) return std::nullopt;
  return TryGet();
}

}  // namespace kestrova
