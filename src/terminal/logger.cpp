#include "terminal/logger.h"

#include <errno.h>

#include <filesystem>
#include <system_error>

#include "terminal/log_escape.h"
#include "util/exception.h"
#include "util/hex.h"

namespace kestrova {
namespace {

// The running program's file name without folder and extension, as fallback names carry it.
const std::string& ProgramStem() {
  static const std::string stem = [] {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("kestrova") : exe.stem().string();
  }();
  return stem;
}

constexpr size_t kDateLength = 10;  // "yyyy-mm-dd"

// Removes up to four trailing CR or LF bytes; whether any were removed.
bool TrimTrailingBreaks(std::string_view& text) {
  const size_t size = text.size();
  while (!text.empty() && size - text.size() < 4 && (text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text.size() != size;
}

}  // namespace

VMurLogger::VMurLogger(Component* owner) : Component(owner) {}

VMurLogger::~VMurLogger() { Close(); }

void VMurLogger::SetLogPath(std::string path) {
  Close();
  log_path_ = std::move(path);
  open_failed_ = false;
}

void VMurLogger::SetNewFileStyle(VMurLoggerNewFileStyle style) {
  new_file_style_ = style;
  open_failed_ = false;
}

std::string VMurLogger::FileNameFor(const std::string& argument) const {
  std::string pattern = log_path_;
  // A folder name may end in either separator; here only "/" separates.
  if (!pattern.empty() && pattern.back() == '\\') pattern.back() = '/';
  std::string name;
  if (new_file_style_ == vslnfExact) {
    name = pattern;
    if (name.empty() || name.back() == '/') name += argument;
  } else if (pattern.find('*') == std::string::npos) {
    name = pattern + argument;
  } else {
    for (const char c : pattern) {
      if (c == '*') {
        name += argument;
      } else {
        name += c;
      }
    }
  }
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(name, error);
  return (error ? std::filesystem::path(name) : full).lexically_normal().string();
}

bool VMurLogger::TryOpen(const std::string& argument, uint32_t creation) {
  const std::filesystem::path name = FileNameFor(argument);
  std::error_code error;
  std::filesystem::create_directories(name.parent_path(), error);
  if (error) return false;
  try {
    file_ = std::make_unique<TMurFileStream>(name.string(), kGenericWrite, kFileShareRead, creation,
                                             new_file_open_flags_);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool VMurLogger::Open() { return Open2(DateText(clock_())); }

bool VMurLogger::Open2(const std::string& date_text) {
  if (file_) return true;
  if (open_failed_ || new_file_style_ == vslnfDisabled) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(FileNameFor(date_text)).parent_path(),
                                      error);
  if (error) return false;
  const uint32_t creation = (options_ & vsloDisableAppend) ? kCreateNew : kOpenAlways;
  if (!TryOpen(date_text, creation)) {
    if (new_file_style_ == vslnfExact) {
      open_failed_ = true;
      return false;
    }
    // The dated name is taken (or locked by another copy): try names with the program's name.
    const std::string base = date_text + " " + ProgramStem();
    bool opened = TryOpen(base, creation);
    for (int i = 1; i <= 9 && !opened; ++i) {
      opened = TryOpen(base + "-" + std::to_string(i), i == 9 ? kOpenAlways : creation);
    }
    if (!opened) return false;
  }
  file_date_ = date_text;
  const int64_t size = file_->Seek(0, SeekOrigin::kEnd);
  pending_break_ = (size == 0 || (options_ & vsloSmoothAppend)) ? kLineStart : kBreakOwed;
  open_failed_ = false;
  return true;
}

void VMurLogger::Close() {
  if (file_ && pending_break_ != kLineStart) file_->Write("\r\n");
  file_.reset();
  file_date_.clear();
  prev_line_type_ = VMurTerminal_lt_NoType;
  pending_break_ = kBreakOwed;
}

void VMurLogger::Write(std::string_view bytes) {
  // The stream itself continues after a partial write with the bytes not yet written, so a
  // piece is never duplicated; an error closes the file and the next piece reopens one.
  if (file_->Write(bytes) >= 0) {
    // Gathered bytes reach the file at the turn's end: the failure is over once some did.
    if (write_failing_ && file_->BytesWritten() > 0) write_failing_ = false;
    return;
  }
  const int error = errno;
  const std::string name = file_->FileName();
  Close();
  if (write_failing_) return;
  write_failing_ = true;
  if (on_write_failed_) on_write_failed_(name, error);
}

// Line breaks alone, after a piece of the same line that ended with some: CR and LF read apart.
// They belong to the break already owed, so the file does not depend on how reads split them.
bool VMurLogger::RestOfAnOwedBreak(VMurTerminal_LineType line_type, std::string_view text) const {
  if (pending_break_ != kBreakOwed || line_type != prev_line_type_ ||
      StyleOf(line_type).mode != LineRenderMode::kText) {
    return false;
  }
  return TrimTrailingBreaks(text) && text.empty();
}

void VMurLogger::logData(VMurTerminal_LineType line_type, std::string_view text, bool raw) {
  if (!file_ && new_file_style_ == vslnfDisabled) return;
  if (line_type == VMurTerminal_lt_NoType) {
    const bool owes_break = pending_break_ != kLineStart && file_;
    prev_line_type_ = VMurTerminal_lt_NoType;
    pending_break_ = kLineStart;
    if (owes_break) Write("\r\n");
    return;
  }
  if (text.empty() && line_type == prev_line_type_) return;
  if (!raw && RestOfAnOwedBreak(line_type, text)) return;

  const LocalDateTime now = clock_();
  std::string& piece = piece_buffer_;
  piece.clear();
  AppendStampText(piece, now);
  const std::string_view day = std::string_view(piece).substr(0, kDateLength);
  if (new_file_style_ == vslnfDaily && file_ && day != file_date_) Close();
  if (!file_ && !Open2(std::string(day))) return;

  const PendingBreak was_pending = pending_break_;
  pending_break_ = kMidLine;
  const LineTypeStyle& style = StyleOf(line_type);
  const bool new_line = was_pending == kBreakOwed || line_type != prev_line_type_;
  // The stamp already in the buffer stays only when it heads a new line.
  if (new_line && (options_ & vslofDate)) {
    piece += ": ";
  } else {
    piece.clear();
  }
  if (new_line && was_pending != kLineStart) piece.insert(0, "\r\n");
  if (new_line && (options_ & vslofLinetype)) piece += style.log_marker;
  if (raw) {
    piece += text;
  } else if (style.mode == LineRenderMode::kHex) {
    piece += BytesToHex(text);
  } else if (style.mode == LineRenderMode::kRaw) {
    EscapeControls(text, piece);
  } else {
    if (TrimTrailingBreaks(text)) pending_break_ = kBreakOwed;
    EscapeNonPrintable(text, piece);
  }
  prev_line_type_ = line_type;
  if (!piece.empty()) Write(piece);
}

}  // namespace kestrova
