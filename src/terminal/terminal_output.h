// The terminal's output operations: turn pieces of traffic into coloured, optionally headed
// lines of a rich view, keep the view within its limits without moving a reader, mirror the
// text into a plain log file and hand each piece to the terminal's own logger.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "terminal/line_type.h"
#include "terminal/local_clock.h"
#include "terminal/logger.h"
#include "terminal/rich_view.h"
#include "util/color.h"
#include "util/file_stream.h"

namespace kestrova {

// Line headers, a set of these bits.
enum VMurTerminalShowOption : unsigned {
  vstsoShowLineCounts = 1u << 0,
  vstsoShowTimes = 1u << 1,
};
using VMurTerminalShowOptions = unsigned;

class TerminalOutput {
 public:
  // Told after output of an incoming (0, 2, 4) or outgoing (1, 3, 5) view line type, with the
  // milliseconds since the previous such output.
  using TimingEvent = std::function<void(bool outgoing, uint32_t elapsed_ms)>;

  // `view` may be null (no window yet, or it went away); it is not owned.
  explicit TerminalOutput(RichView* view);
  ~TerminalOutput();
  TerminalOutput(const TerminalOutput&) = delete;
  TerminalOutput& operator=(const TerminalOutput&) = delete;

  RichView* View() const { return view_; }
  void SetView(RichView* view) { view_ = view; }

  // `view_line_type` VMurTerminal_lt_NoType leaves the view alone, `log_line_type`
  // VMurTerminal_lt_NoType skips the logger; `raw` asks the logger for the bytes unconverted.
  void AddData(std::string_view data, VMurTerminal_LineType view_line_type,
               VMurTerminal_LineType log_line_type, bool raw);
  // Continues the current line when `line_type` is the one of the previous piece.
  void AddText(std::string_view text, VMurTerminal_LineType line_type);
  void AddLine(std::string_view text, VMurTerminal_LineType line_type);
  void EndLine();
  // Colours the current line, and what is added to it until it ends, in `color` underlined.
  void HighlightLine(TColor color);
  void Clear();
  // Saves the view as RTF or as plain text (each line ending in CR LF). Raises Exception when
  // the file cannot be written.
  void SaveToFile(const std::string& file_name, bool rich_text);

  bool IgnoreAddChars() const { return ignore_add_chars_; }
  void SetIgnoreAddChars(bool ignore) { ignore_add_chars_ = ignore; }
  bool DebugWindowsVisible() const { return debug_windows_visible_; }
  void SetDebugWindowsVisible(bool visible) { debug_windows_visible_ = visible; }
  // The limits accept only values above 0.
  int MaxLines() const { return max_lines_; }
  void SetMaxLines(int lines);
  int MaxChars() const { return max_chars_; }
  void SetMaxChars(int chars);
  int MaxCharsPerLine() const { return max_chars_per_line_; }
  void SetMaxCharsPerLine(int chars);
  VMurTerminalShowOptions ShowOptions() const { return show_options_; }
  void SetShowOptions(VMurTerminalShowOptions options) { show_options_ = options; }

  // The plain log file of the view: opened (or created) when named, appended to, and cut to
  // its last nine tenths of LogFileMaxLen whenever it grows beyond LogFileMaxLen bytes.
  const std::string& LogFileName() const { return log_file_name_; }
  void SetLogFileName(const std::string& name);
  bool LogFileOpen() const { return log_file_ != nullptr; }
  int64_t LogFileMaxLen() const { return log_file_max_len_; }
  void SetLogFileMaxLen(int64_t bytes) { log_file_max_len_ = bytes; }

  // The owned logger, made when one of these asks for more than the defaults.
  VMurLogger* Logger() const { return logger_.get(); }
  std::string LoggerFilename() const;
  void SetLoggerFilename(const std::string& name);
  VMurLoggerNewFileStyle LoggerNamingStyle() const;
  void SetLoggerNamingStyle(VMurLoggerNewFileStyle style);
  uint32_t LoggerOpenFlags() const;
  void SetLoggerOpenFlags(uint32_t flags);

  // The clock of the line headers, also given to the logger.
  void SetClock(LocalClock clock);
  void SetOnTiming(TimingEvent handler) { on_timing_ = std::move(handler); }

 private:
  struct Placement {
    bool had_focus;
    TextSelection selection;
    int first_visible_line;
  };
  struct Pieces;

  void Render(std::string_view data, VMurTerminal_LineType line_type);
  Placement MakeRoom(int length);
  void Restore(const Placement& placement);
  void AppendToLogFile(std::string_view text);
  VMurLogger& EnsureLogger();

  RichView* view_;
  bool ignore_add_chars_ = false;
  bool debug_windows_visible_ = false;
  int max_lines_ = 1100;
  int max_chars_ = 65535;
  int max_chars_per_line_ = 500;
  VMurTerminalShowOptions show_options_ = 0;

  VMurTerminal_LineType prev_view_line_type_ = VMurTerminal_lt_NoType;
  TColor override_color_ = clNone;
  std::array<int, kLineTypeCount> line_counters_{};
  uint32_t last_output_tick_;
  TimingEvent on_timing_;
  LocalClock clock_ = SystemLocalTime;

  std::string log_file_name_;
  int64_t log_file_max_len_ = 1000000;
  std::unique_ptr<TMurFileStream> log_file_;
  std::unique_ptr<VMurLogger> logger_;
  // Reused for every piece, so that a line costs no allocation.
  std::string header_buffer_;
  std::string text_buffer_;
};

}  // namespace kestrova
