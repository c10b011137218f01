#include "util/file_stream.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/message_loop.h"
#include "util/background_data_sync.h"

namespace kestrova {
namespace {

// Beyond this much, gathered bytes are written at once rather than at the turn's end.
constexpr size_t kGatherLimit = size_t{1} << 20;

// Streams with gathered bytes, for the work left for the turn's end; GUI thread only.
std::vector<TMurFileStream*> waiting_streams;
// Alive while that work is queued; it expires as well when a loop drops it unrun.
std::weak_ptr<void> queued_flush;

int OpenFlags(uint32_t desired_access, uint32_t creation_disposition) {
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
  return flags;
}

// Writes all `count` bytes, continuing after partial writes; false (errno set) on an error.
bool WriteAll(int fd, const char* bytes, int64_t count) {
  int64_t written = 0;
  while (written < count) {
    const ssize_t done = write(fd, bytes + written, static_cast<size_t>(count - written));
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += done;
  }
  return true;
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
  const int flags = OpenFlags(desired_access, creation_disposition);
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
  gathers_ = (flags_and_attributes & kFileFlagWriteThrough) != 0;
  if (gathers_) sync_key_ = BackgroundDataSync::Instance().Add(fd_);
}

TMurFileStream::~TMurFileStream() {
  FlushGathered();
  if (waiting_) std::erase(waiting_streams, this);
  if (sync_key_ >= 0) {
    // The sync's copy of the descriptor would hold the sharing lock until its last sync; whoever
    // opens the file next must find it free at once.
    flock(fd_, LOCK_UN);
    BackgroundDataSync::Instance().Release(sync_key_);
  }
  close(fd_);
}

int64_t TMurFileStream::Read(void* buffer, int64_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  FlushGathered();
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
  if (write_error_ == 0 && gathered_.empty() && !(gathers_ && HasMainLoop())) {
    // Nothing to gather for: straight to the system, without a copy.
    if (!WriteAll(fd_, bytes, count)) return -1;
    bytes_written_ += count;
    return count;
  }
  if (write_error_ == 0) {
    gathered_.append(bytes, static_cast<size_t>(count));
    if (gathered_.size() <= kGatherLimit) {
      FlushAtTheTurnsEnd();
    } else {
      FlushGathered();
    }
  }
  if (write_error_ != 0) {
    errno = std::exchange(write_error_, 0);
    return -1;
  }
  return count;
}

void TMurFileStream::FlushAtTheTurnsEnd() {
  if (!waiting_) {
    waiting_streams.push_back(this);
    waiting_ = true;
  }
  if (queued_flush.expired()) {
    auto token = std::make_shared<char>();
    queued_flush = token;
    MainLoop().AtTurnEnd([token] { FlushWaitingStreams(); });
  }
}

void TMurFileStream::FlushGathered() {
  if (gathered_.empty()) return;
  if (!WriteAll(fd_, gathered_.data(), static_cast<int64_t>(gathered_.size()))) {
    write_error_ = errno;
  } else {
    bytes_written_ += static_cast<int64_t>(gathered_.size());
    if (sync_key_ >= 0) BackgroundDataSync::Instance().NoteWritten(sync_key_);
  }
  gathered_.clear();
}

void TMurFileStream::FlushWaitingStreams() {
  queued_flush.reset();
  while (!waiting_streams.empty()) {
    TMurFileStream* stream = waiting_streams.back();
    waiting_streams.pop_back();
    stream->waiting_ = false;
    stream->FlushGathered();
  }
}

int64_t TMurFileStream::Seek(int64_t offset, SeekOrigin origin) {
  FlushGathered();
  int whence = SEEK_SET;
  if (origin == SeekOrigin::kCurrent) whence = SEEK_CUR;
  if (origin == SeekOrigin::kEnd) whence = SEEK_END;
  return lseek(fd_, offset, whence);
}

int64_t TMurFileStream::Size() const {
  struct stat status {};
  if (fstat(fd_, &status) != 0) return -1;
  if (gathered_.empty()) return status.st_size;
  // The gathered bytes land at the current offset.
  const off_t position = lseek(fd_, 0, SEEK_CUR);
  if (position < 0) return -1;
  return std::max<int64_t>(status.st_size, position + static_cast<int64_t>(gathered_.size()));
}

bool TMurFileStream::SetSize(int64_t size) {
  FlushGathered();
  return ftruncate(fd_, size) == 0;
}

}  // namespace kestrova
