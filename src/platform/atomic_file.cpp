#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kestrova {
namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";

// ".<name>.tmp-": hidden, and recognisable as ours when stale.
std::string TemporaryPrefix(const std::string& path) {
  return "." + BaseNameOf(path) + std::string(kTemporaryMark);
}

int RetryClose(int fd) {
  // Linux frees the descriptor even when close() fails with EINTR; do not close it again.
  return close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

// Creates a new temporary beside `path`; the kernel applies the umask to 0666.
int CreateTemporary(const std::string& path, std::string& temporary_path) {
  static std::atomic<unsigned> counter{0};
  std::string base = DirectoryOf(path) + "/" + TemporaryPrefix(path) + std::to_string(getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_path = base + "-" + std::to_string(counter++);
    int fd = open(temporary_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd >= 0 ? fd : -errno;
  }
  return -EEXIST;
}

}  // namespace

FileBytes ReadWholeFile(const std::string& path, size_t max_bytes) {
  FileBytes result;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    result.error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    result.error = EISDIR;
  } else {
    char buffer[65536];
    for (;;) {
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result.error = errno;
        break;
      }
      if (got == 0) break;
      if (result.bytes.size() + static_cast<size_t>(got) > max_bytes) {
        result.error = EFBIG;
        break;
      }
      result.bytes.append(buffer, static_cast<size_t>(got));
    }
  }
  close(fd);
  if (result.error != 0) result.bytes.clear();
  return result;
}

int MakeDirectories(const std::string& path) {
  if (path.empty()) return 0;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (int error = MakeDirectories(path.substr(0, slash)); error != 0) return error;
  }
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return errno;
  return 0;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReplacementTarget(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : path;
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  std::string temporary;
  int fd = CreateTemporary(path, temporary);
  if (fd < 0) return -fd;
  int error = 0;
  struct stat old_info {};
  if (stat(path.c_str(), &old_info) == 0 && fchmod(fd, old_info.st_mode & 07777) != 0) {
    error = errno;
  }
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && fsync(fd) != 0) error = errno;
  int close_error = RetryClose(fd);
  if (error == 0) error = close_error;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
}

void RemoveStaleTemporaries(const std::string& path) {
  std::string directory = DirectoryOf(path);
  std::string prefix = TemporaryPrefix(path);
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.starts_with(prefix)) unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

DirectoryLock::DirectoryLock(const std::string& directory) {
  fd_ = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  while (flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error_ = errno;
    close(fd_);
    fd_ = -1;
    return;
  }
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) close(fd_);
}

std::string ErrnoText(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which need not be in the buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace kestrova
