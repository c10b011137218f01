#include "platform/device_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace kestrova {
namespace {

constexpr uint32_t kEntryEvents = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;
constexpr uint32_t kFolderEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The part of `path` that follows `folder` up to the next slash: the entry whose creation
// brings the path one step nearer.
std::string NextStep(const std::string& path, const std::string& folder) {
  size_t start = folder == "/" ? 1 : folder.size() + 1;
  if (folder == ".") start = 0;
  if (start > path.size()) return {};
  const size_t end = path.find('/', start);
  return path.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

DeviceWatch::DeviceWatch(MessageLoop& loop, std::string path, Callback appeared)
    : loop_(loop), path_(std::move(path)), appeared_(std::move(appeared)) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "inotify_init1");
  Arm();
  handle_ = loop_.WatchFd(fd_, MessageLoop::Readiness::kReadable, [this] { OnEvents(); });
}

DeviceWatch::~DeviceWatch() {
  handle_.reset();
  close(fd_);
}

bool DeviceWatch::Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

void DeviceWatch::Arm() {
  std::string folder = FolderOf(path_);
  while (!IsFolder(folder) && folder != "/" && folder != ".") folder = FolderOf(folder);
  if (folder == folder_ && wd_ >= 0) return;
  if (wd_ >= 0) inotify_rm_watch(fd_, wd_);
  folder_ = folder;
  wd_ = inotify_add_watch(fd_, folder_.c_str(),
                          kEntryEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
}

void DeviceWatch::OnEvents() {
  alignas(inotify_event) std::array<char, 4096> buffer;
  bool step_taken = false;
  bool folder_gone = false;
  for (;;) {
    const ssize_t n = read(fd_, buffer.data(), buffer.size());
    if (n <= 0) break;
    for (ssize_t offset = 0; offset < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->wd != wd_) continue;
      if ((event->mask & kFolderEvents) != 0) folder_gone = true;
      if ((event->mask & kEntryEvents) != 0 && event->len > 0 &&
          std::string(event->name) == NextStep(path_, folder_)) {
        step_taken = true;
      }
    }
  }
  if (folder_gone) wd_ = -1;
  if (!step_taken && !folder_gone) return;
  // A folder on the way may have come (what follows it may already be there) or gone.
  Arm();
  if (!Exists(path_)) return;
  // Copied: the callback may destroy this watch, and with it `appeared_`.
  const Callback appeared = appeared_;
  appeared();
}

}  // namespace kestrova
