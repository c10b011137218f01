// Waits for a device node, or a link to one, to appear at a path without polling: inotify on
// the folder that holds it, or on the nearest existing folder above while that one is missing
// (/dev/serial/by-id goes away with the last USB serial adapter).
#pragma once

#include <functional>
#include <string>

#include "platform/message_loop.h"

namespace kestrova {

class DeviceWatch {
 public:
  using Callback = std::function<void()>;

  // Calls `appeared` on the loop thread whenever the entry at `path` is created, moved in or
  // has its attributes changed (udev setting group and mode) and exists afterwards. Throws
  // std::system_error when inotify cannot be had. The watch may be destroyed from `appeared`.
  DeviceWatch(MessageLoop& loop, std::string path, Callback appeared);
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  const std::string& Path() const { return path_; }
  // The folder now watched: the path's own folder, or the nearest one above that exists.
  const std::string& WatchedFolder() const { return folder_; }

  // Whether something is at `path` (a link counts only when its target exists).
  static bool Exists(const std::string& path);

 private:
  // Watches the deepest existing folder on the way to the path.
  void Arm();
  void OnEvents();

  MessageLoop& loop_;
  const std::string path_;
  Callback appeared_;
  int fd_ = -1;
  int wd_ = -1;
  std::string folder_;
  LoopHandle handle_;
};

}  // namespace kestrova
