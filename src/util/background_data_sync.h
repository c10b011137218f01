// Syncs written files' data to the disk (fdatasync) on a thread of its own, so that their
// writers never wait for the disk: at most about once a second per file while it is written,
// and once more when its writer has gone.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrova {

class BackgroundDataSync {
 public:
  BackgroundDataSync() = default;
  ~BackgroundDataSync() { Stop(); }
  BackgroundDataSync(const BackgroundDataSync&) = delete;
  BackgroundDataSync& operator=(const BackgroundDataSync&) = delete;

  // The process-wide one; it stops at exit.
  static BackgroundDataSync& Instance();

  // Looks after the file open as `fd` through a descriptor of its own, so that the writer may
  // close `fd` at any time; returns that descriptor as the file's key, or -1 when none could
  // be had.
  int Add(int fd);
  // Data was written to the file of `key`.
  void NoteWritten(int key);
  // The writer has gone: the file is synced once more, then its descriptor is closed.
  void Release(int key);
  // Syncs and closes what is left and joins the thread; files released later are left to the
  // system, which closes them at exit.
  void Stop();

 private:
  struct File {
    bool dirty = false;
    bool released = false;
  };

  // Syncs dirty and released files in rounds, resting a second after a round that synced a
  // file still being written.
  void Run();
  // With the lock held: starts the thread on first use and tells it there is work.
  void WakeLocked();
  bool HasWorkLocked() const;
  void ForgetThreadAfterFork();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<int, File> files_;
  std::unique_ptr<std::thread> thread_;
  bool stopping_ = false;
};

}  // namespace kestrova
