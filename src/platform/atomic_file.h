// File primitives for data that must never be torn: whole-file reads, replacement through a
// temporary file with fsync and rename, and an advisory lock on a folder. Errors are errno
// values (0 for success).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

struct FileBytes {
  int error = 0;  // ENOENT for a missing file; EFBIG when larger than the limit
  std::string bytes;
};

FileBytes ReadWholeFile(const std::string& path, size_t max_bytes);

// Like mkdir -p; the new folders get 0777 less the umask.
int MakeDirectories(const std::string& path);

// The folder part of a path ("." for a bare name) and the name part.
std::string DirectoryOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// The file a symbolic link leads to, so that replacing it keeps the link; `path` itself when it
// is no link or does not exist yet.
std::string ReplacementTarget(const std::string& path);

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`, so that even after a power failure the file holds the old or the new bytes (the
// folder is not flushed: losing the rename only means the old content). The file keeps the
// permissions of the one it replaces (a new file gets 0666 less the umask). On failure `path` is
// unchanged and the temporary is removed. Concurrent callers for the same path must hold the
// folder's lock.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// Removes temporaries left by writers that died; call with the folder's lock held.
void RemoveStaleTemporaries(const std::string& path);

// An exclusive flock() on a folder, held until destruction. Serialises writers of all files in
// that folder, across threads and processes.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& directory);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// The system's text for an errno value.
std::string ErrnoText(int error);

}  // namespace kestrova
