// A file stream opened with explicit access, sharing, creation and flag values; it owns the
// descriptor and raises EFCreateError ("Cannot create file <name>") when the file cannot be
// opened. The logger writes its files through it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/exception.h"

namespace kestrova {

// Access, sharing, creation and flag values keep their customary numbers, because settings
// such as the logger's NewFileOpenFlags store them.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;

inline constexpr uint32_t kFileShareRead = 0x1u;
inline constexpr uint32_t kFileShareWrite = 0x2u;
inline constexpr uint32_t kFileShareDelete = 0x4u;

inline constexpr uint32_t kCreateNew = 1;         // fails when the file exists
inline constexpr uint32_t kCreateAlways = 2;      // creates or truncates
inline constexpr uint32_t kOpenExisting = 3;      // fails when the file is missing
inline constexpr uint32_t kOpenAlways = 4;        // opens or creates
inline constexpr uint32_t kTruncateExisting = 5;  // fails when missing; needs write access

inline constexpr uint32_t kFileAttributeNormal = 0x80u;
// Writes reach the system by the end of the GUI thread's turn and the disk soon after, without
// the writer waiting for the disk.
inline constexpr uint32_t kFileFlagWriteThrough = 0x80000000u;

class EFCreateError : public Exception {
 public:
  EFCreateError(const std::string& file_name, int error_code)
      : Exception("Cannot create file " + file_name), error_code_(error_code) {}
  // The errno value of the failed open (0 for an invalid argument combination).
  int ErrorCode() const { return error_code_; }

 private:
  int error_code_;
};

enum class SeekOrigin { kBeginning, kCurrent, kEnd };

class TMurFileStream {
 public:
  // Opens `file_name`. Write-through gathers writes (see Write) and syncs them in the background;
  // other flags and attributes are accepted and ignored. Sharing is kept among cooperating
  // openers with advisory locks: an opener that does not share writing takes an exclusive lock
  // when it writes and a shared one when it only reads, so a second such writer (another running
  // copy logging to the same file) is refused, while plain readers such as `tail` are never
  // hindered. A directory is refused.
  TMurFileStream(const std::string& file_name, uint32_t desired_access, uint32_t share_mode,
                 uint32_t creation_disposition, uint32_t flags_and_attributes);
  ~TMurFileStream();
  TMurFileStream(const TMurFileStream&) = delete;
  TMurFileStream& operator=(const TMurFileStream&) = delete;

  // Bytes read (0 at the end of the file), or -1 on an error (errno tells which).
  int64_t Read(void* buffer, int64_t count);
  // Writes all `count` bytes, continuing after partial writes; returns `count`, or -1 on an
  // error (errno tells which; part of the data may have been written). A write-through stream
  // on the GUI thread gathers the bytes and writes them with one call before the thread's turn
  // ends, or at once when a lot has gathered; when that write fails, the next Write reports it.
  // Without a main loop everything is written at once. Every other call writes what has
  // gathered first, except Size, which counts it.
  int64_t Write(const void* buffer, int64_t count);
  int64_t Write(std::string_view bytes) {
    return Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  // The new position, or -1 on an error.
  int64_t Seek(int64_t offset, SeekOrigin origin);
  int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  // The file's size, or -1 on an error.
  int64_t Size() const;
  // Truncates or extends the file; false on an error.
  bool SetSize(int64_t size);

  const std::string& FileName() const { return file_name_; }
  int Handle() const { return fd_; }
  // Bytes this stream has handed to the system whole; gathered bytes count once written.
  int64_t BytesWritten() const { return bytes_written_; }

 private:
  // Has the gathered bytes written when the main loop's callback now running returns.
  void FlushAtTheTurnsEnd();
  // Writes the gathered bytes; a failure is kept for the next Write to report.
  void FlushGathered();
  // The work left for the turn's end: flushes every stream that gathered in this turn.
  static void FlushWaitingStreams();

  std::string file_name_;
  int fd_ = -1;
  bool gathers_ = false;  // write-through
  int sync_key_ = -1;     // the background sync's descriptor of this file, or -1
  std::string gathered_;  // bytes not yet written, as every Write passes through here
  bool waiting_ = false;  // among the streams the posted task flushes
  int write_error_ = 0;   // the errno of a failed write not yet reported
  int64_t bytes_written_ = 0;
};

}  // namespace kestrova
