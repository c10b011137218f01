#include "util/file_stream.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {
namespace {

int OpenFlags(uint32_t desired_access, uint32_t creation_disposition,
              uint32_t flags_and_attributes) {
  const bool reads = (desired_access & kGenericRead) != 0;
  const bool writes = (desired_access & kGenericWrite) != 0;
  int flags = O_CLOEXEC | O_NOCTTY;
  flags |= writes ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (creation_disposition) {
    case kCreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
    case kCreateAlways:
    case kOpenAlways:
      flags |= O_CREAT;
      break;
    case kOpenExisting:
    case kTruncateExisting:
      break;
    default:
      return -1;
  }
  if ((flags_and_attributes & kFileFlagWriteThrough) != 0) flags |= O_DSYNC;
  return flags;
}

// The lock that stands for the sharing mode, or 0 when none is needed.
int SharingLock(uint32_t desired_access, uint32_t share_mode) {
  if ((share_mode & kFileShareWrite) != 0) return 0;
  return (desired_access & kGenericWrite) != 0 ? LOCK_EX : LOCK_SH;
}

}  // namespace

TMurFileStream::TMurFileStream(const std::string& file_name, uint32_t desired_access,
                               uint32_t share_mode, uint32_t creation_disposition,
                               uint32_t flags_and_attributes)
    : file_name_(file_name) {
  const int flags = OpenFlags(desired_access, creation_disposition, flags_and_attributes);
  const bool truncates =
      creation_disposition == kCreateAlways || creation_disposition == kTruncateExisting;
  if (flags < 0 || (truncates && (desired_access & kGenericWrite) == 0)) {
    throw EFCreateError(file_name, EINVAL);
  }
  do {
    fd_ = open(file_name.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw EFCreateError(file_name, errno);

  int error = 0;
  struct stat status {};
  if (fstat(fd_, &status) != 0) {
    error = errno;
  } else if (S_ISDIR(status.st_mode)) {
    error = EISDIR;
  }
  // Truncation waits for the lock, so a refused opener never destroys another one's file.
  const int lock = SharingLock(desired_access, share_mode);
  if (error == 0 && lock != 0 && flock(fd_, lock | LOCK_NB) != 0) error = errno;
  if (error == 0 && truncates && S_ISREG(status.st_mode) && ftruncate(fd_, 0) != 0) {
    error = errno;
  }
  if (error != 0) {
    close(fd_);
    fd_ = -1;
    throw EFCreateError(file_name, error);
  }
}

TMurFileStream::~TMurFileStream() {
  if (fd_ >= 0) close(fd_);
}

int64_t TMurFileStream::Read(void* buffer, int64_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  ssize_t done;
  do {
    done = read(fd_, buffer, static_cast<size_t>(count));
  } while (done < 0 && errno == EINTR);
  return done;
}

int64_t TMurFileStream::Write(const void* buffer, int64_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  int64_t written = 0;
  while (written < count) {
    const ssize_t done = write(fd_, bytes + written, static_cast<size_t>(count - written));
    if (done < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    written += done;
  }
  return count;
}

int64_t TMurFileStream::Seek(int64_t offset, SeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == SeekOrigin::kCurrent) whence = SEEK_CUR;
  if (origin == SeekOrigin::kEnd) whence = SEEK_END;
  return lseek(fd_, offset, whence);
}

int64_t TMurFileStream::Size() const {
  struct stat status {};
  if (fstat(fd_, &status) != 0) return -1;
  return status.st_size;
}

bool TMurFileStream::SetSize(int64_t size) { return ftruncate(fd_, size) == 0; }

}  // namespace kestrova
