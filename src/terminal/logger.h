// VMurLogger: writes traffic to a text log file, one line per line of traffic, each optionally
// headed by a date-and-time stamp and a line-type marker; picks dated file names and rolls over
// daily when asked to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "terminal/line_type.h"
#include "terminal/local_clock.h"
#include "util/component.h"
#include "util/file_stream.h"

namespace kestrova {

enum VMurLoggerNewFileStyle : uint8_t { vslnfDisabled, vslnfExact, vslnfOnOpen, vslnfDaily };

// The logger's options, a set of these bits.
enum VMurLoggerOption : unsigned {
  vslofDate = 1u << 0,          // stamp "yyyy-mm-dd hh:mm:ss.zzz: " before each line
  vslofLinetype = 1u << 1,      // line-type marker before each line
  vsloDisableAppend = 1u << 2,  // never append to an existing file; pick another name
  vsloSmoothAppend = 1u << 3,   // no empty line between runs appended to one file
};
using VMurLoggerOptions = unsigned;

class VMurLogger : public Component {
 public:
  explicit VMurLogger(Component* owner);
  ~VMurLogger() override;

  VMurLoggerOptions Options() const { return options_; }
  void SetOptions(VMurLoggerOptions options) { options_ = options; }
  // File name pattern. With vslnfExact it is the file (a name ending in "/" or "\" is a folder
  // the date is appended to); otherwise each "*" becomes the date, or the date is appended.
  const std::string& LogPath() const { return log_path_; }
  void SetLogPath(std::string path);
  VMurLoggerNewFileStyle NewFileStyle() const { return new_file_style_; }
  void SetNewFileStyle(VMurLoggerNewFileStyle style);
  // Creation flags; with kFileFlagWriteThrough the file gets what was logged by the end of the
  // GUI thread's turn and the disk soon after, without the GUI thread waiting for the disk.
  uint32_t NewFileOpenFlags() const { return new_file_open_flags_; }
  void SetNewFileOpenFlags(uint32_t flags) { new_file_open_flags_ = flags; }

  bool IsOpen() const { return file_ != nullptr; }
  // The file being written, or "" when none is open.
  std::string FileName() const { return file_ ? file_->FileName() : std::string(); }

  // Writes one piece of traffic of `line_type`; VMurTerminal_lt_NoType ends the current line.
  // `raw` writes the bytes as they are instead of by the type's rendering mode.
  void logData(VMurTerminal_LineType line_type, std::string_view text, bool raw);
  // Opens today's file unless one is open; whether a file is open.
  bool Open();
  bool Open2(const std::string& date_text);
  void Close();

  void SetClock(LocalClock clock) { clock_ = std::move(clock); }

  // Told the file's name and the errno when writing the log starts failing (a full disk, the
  // file-size limit); told again only after some later write reached the file. Logging goes on:
  // each later piece reopens the file.
  using WriteFailedEvent = std::function<void(const std::string& file_name, int error)>;
  void SetOnWriteFailed(WriteFailedEvent handler) { on_write_failed_ = std::move(handler); }

 private:
  // What a line break is owed before the next text.
  enum PendingBreak : uint8_t { kMidLine, kBreakOwed, kLineStart };

  std::string FileNameFor(const std::string& argument) const;
  // Opens the file named for `argument`; false when its folder or the file cannot be made.
  bool TryOpen(const std::string& argument, uint32_t creation);
  void Write(std::string_view bytes);
  bool RestOfAnOwedBreak(VMurTerminal_LineType line_type, std::string_view text) const;

  VMurLoggerOptions options_ = vslofDate | vslofLinetype;
  std::string log_path_;
  VMurLoggerNewFileStyle new_file_style_ = vslnfOnOpen;
  uint32_t new_file_open_flags_ = kFileFlagWriteThrough;
  LocalClock clock_ = SystemLocalTime;

  std::unique_ptr<TMurFileStream> file_;
  std::string file_date_;
  bool open_failed_ = false;
  VMurTerminal_LineType prev_line_type_ = VMurTerminal_lt_NoType;
  PendingBreak pending_break_ = kBreakOwed;
  std::string piece_buffer_;  // reused, so that a line costs no allocation
  WriteFailedEvent on_write_failed_;
  bool write_failing_ = false;  // the failure was told and no write has succeeded since
};

}  // namespace kestrova
