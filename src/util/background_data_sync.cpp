#include "util/background_data_sync.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

constexpr auto kSyncInterval = std::chrono::seconds(1);

void SyncAndClose(int fd) {
  fdatasync(fd);
  close(fd);
}

}  // namespace

BackgroundDataSync& BackgroundDataSync::Instance() {
  // Never destroyed, because writers may still go during the static destruction at exit; it
  // stops before that. A forked child has no copy of the thread and starts its own.
  static BackgroundDataSync* const instance = [] {
    auto* made = new BackgroundDataSync;
    std::atexit([] { Instance().Stop(); });
    pthread_atfork([] { Instance().mutex_.lock(); }, [] { Instance().mutex_.unlock(); },
                   [] { Instance().ForgetThreadAfterFork(); });
    return made;
  }();
  return *instance;
}

int BackgroundDataSync::Add(int fd) {
  const int key = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (key < 0) return -1;
  std::lock_guard lock(mutex_);
  files_[key] = File{};
  return key;
}

void BackgroundDataSync::NoteWritten(int key) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(key);
  if (it == files_.end() || it->second.dirty) return;
  it->second.dirty = true;
  WakeLocked();
}

void BackgroundDataSync::Release(int key) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(key);
  if (it == files_.end()) return;
  it->second.released = true;
  WakeLocked();
}

void BackgroundDataSync::Stop() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  wake_.notify_one();
  const std::unique_ptr<std::thread> thread = std::move(thread_);
  lock.unlock();
  if (thread) thread->join();
  lock.lock();
  const std::map<int, File> left = std::move(files_);
  files_.clear();
  lock.unlock();
  for (const auto& [key, file] : left) SyncAndClose(key);
}

void BackgroundDataSync::WakeLocked() {
  if (stopping_) return;
  if (!thread_) {
    try {
      thread_ = std::make_unique<std::thread>([this] { Run(); });
    } catch (const std::system_error&) {
      return;  // the work waits for the next call, which tries again
    }
  }
  wake_.notify_one();
}

bool BackgroundDataSync::HasWorkLocked() const {
  for (const auto& [key, file] : files_) {
    if (file.dirty || file.released) return true;
  }
  return false;
}

void BackgroundDataSync::Run() {
  pthread_setname_np(pthread_self(), "data sync");
  std::unique_lock lock(mutex_);
  for (;;) {
    // Idle, the thread sleeps until told, never on a timer.
    wake_.wait(lock, [this] { return stopping_ || HasWorkLocked(); });
    if (stopping_) return;
    std::vector<std::pair<int, bool>> round;  // each key, and whether it is closed after
    for (auto it = files_.begin(); it != files_.end();) {
      auto& [key, file] = *it;
      if (file.dirty || file.released) round.emplace_back(key, file.released);
      file.dirty = false;
      it = file.released ? files_.erase(it) : std::next(it);
    }
    // The disk is waited for without the lock, so that writers never wait for it.
    lock.unlock();
    bool synced_open_file = false;
    for (const auto& [key, last] : round) {
      if (last) {
        SyncAndClose(key);
      } else {
        fdatasync(key);
        synced_open_file = true;
      }
    }
    lock.lock();
    // Files being written are synced at most once a second.
    if (synced_open_file) wake_.wait_for(lock, kSyncInterval, [this] { return stopping_; });
  }
}

void BackgroundDataSync::ForgetThreadAfterFork() {
  // The thread object names a thread of the parent; it must be neither joined nor destroyed.
  static_cast<void>(thread_.release());
  mutex_.unlock();
}

}  // namespace kestrova
