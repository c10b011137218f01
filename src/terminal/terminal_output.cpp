#include "terminal/terminal_output.h"

#include <algorithm>
#include <cerrno>

#include "platform/tick.h"
#include "terminal/rtf_writer.h"
#include "terminal/utf8.h"
#include "util/exception.h"
#include "util/hex.h"
#include "util/system_error.h"

namespace kestrova {
namespace {

constexpr int64_t kLogFileHardLimit = int64_t{1} << 32;
constexpr int kCounterModulus = 1000000;

// Lines holding text: an empty last line (after a final line break) does not count.
int TextLineCount(const RichView& view) {
  const int lines = view.LineCount();
  return view.LineStart(lines - 1) == view.Length() ? lines - 1 : lines;
}

// The counter right-aligned in four places, as "%4d" prints it.
void AppendCounter(std::string& out, int counter) {
  char digits[8];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + counter % 10);
    counter /= 10;
  } while (counter > 0);
  if (length < 4) out.append(static_cast<size_t>(4 - length), ' ');
  while (length > 0) out += digits[--length];
}

bool IsShownAsIs(unsigned char byte) { return byte >= 32 && byte <= 127; }

bool IsIncoming(int type) { return type == 0 || type == 2 || type == 4; }
bool IsOutgoing(int type) { return type == 1 || type == 3 || type == 5; }

}  // namespace

// The text of one AddData call as a sequence of pieces, each in one colour. Measuring, filling
// and colouring walk the same sequence, so no list of pieces is ever built.
struct TerminalOutput::Pieces {
  std::string_view data;
  const LineTypeStyle& style;
  bool new_line;
  bool break_first;
  std::string_view header;
  uint32_t base_color;
  int line_length;  // of the view's last line when this text continues it
  int max_chars_per_line;

  // visit(bytes, units, color, line_break) for each piece in order.
  template <typename Visit>
  void ForEach(Visit&& visit) const {
    int length = line_length;
    auto emit = [&](std::string_view bytes, int units, uint32_t color, bool line_break) {
      length = line_break ? 0 : length + units;
      visit(bytes, units, color, line_break);
    };
    if (new_line) {
      if (break_first) emit("\r\n", 1, base_color, true);
      if (!header.empty()) emit(header, static_cast<int>(header.size()), style.color, false);
      emit(style.view_prefix, static_cast<int>(style.view_prefix.size()), style.color, false);
    }
    char buffer[8];
    for (size_t pos = 0; pos < data.size();) {
      if (length > max_chars_per_line) emit("\r\n", 1, base_color, true);
      const auto byte = static_cast<unsigned char>(data[pos]);
      switch (style.mode) {
        case LineRenderMode::kText:
          if (IsShownAsIs(byte)) {
            // A stretch of printable bytes is one piece, up to where the line must wrap.
            const size_t room = static_cast<size_t>(max_chars_per_line - length) + 1;
            size_t end = pos + 1;
            while (end < data.size() && end - pos < room &&
                   IsShownAsIs(static_cast<unsigned char>(data[end]))) {
              ++end;
            }
            emit(data.substr(pos, end - pos), static_cast<int>(end - pos), style.color, false);
            pos = end;
          } else {
            const char escape[] = {'<', '#', HexDigit(byte >> 4), HexDigit(byte & 0x0F), '>'};
            std::copy(std::begin(escape), std::end(escape), buffer);
            emit(std::string_view(buffer, 5), 5, style.second_color, false);
            ++pos;
          }
          break;
        case LineRenderMode::kHex: {
          const char hex[] = {' ', HexDigit(byte >> 4), HexDigit(byte & 0x0F)};
          std::copy(std::begin(hex), std::end(hex), buffer);
          emit(std::string_view(buffer, 3), 3, style.color, false);
          ++pos;
          break;
        }
        case LineRenderMode::kRaw:
          EmitRaw(pos, buffer, emit);
          break;
      }
    }
  }

  // Raw bytes show as they are: line breaks break the line, UTF-8 shows its characters and
  // any other byte its Latin-1 character.
  template <typename Emit>
  void EmitRaw(size_t& pos, char* buffer, Emit& emit) const {
    const size_t start = pos;
    const char first = data[pos];
    if (first == '\r' || first == '\n') {
      pos += (first == '\r' && pos + 1 < data.size() && data[pos + 1] == '\n') ? 2 : 1;
      emit(data.substr(start, pos - start), 1, style.color, true);
      return;
    }
    char32_t code_point = DecodeUtf8(data, pos);
    const bool as_is = !IsHiddenBreak(code_point) && (code_point < 0x80 || pos - start > 1);
    if (as_is) {
      emit(data.substr(start, pos - start), Utf16Units(code_point), style.color, false);
      return;
    }
    if (IsHiddenBreak(code_point)) code_point = 0xFFFD;
    std::string encoded;
    AppendUtf8(encoded, code_point);
    std::copy(encoded.begin(), encoded.end(), buffer);
    emit(std::string_view(buffer, encoded.size()), 1, style.color, false);
  }
};

TerminalOutput::TerminalOutput(RichView* view)
    : view_(view), last_output_tick_(TickCount() - 2000) {}

TerminalOutput::~TerminalOutput() = default;

void TerminalOutput::SetMaxLines(int lines) {
  if (lines > 0) max_lines_ = lines;
}

void TerminalOutput::SetMaxChars(int chars) {
  if (chars > 0) max_chars_ = chars;
}

void TerminalOutput::SetMaxCharsPerLine(int chars) {
  if (chars > 0) max_chars_per_line_ = chars;
}

void TerminalOutput::AddText(std::string_view text, VMurTerminal_LineType line_type) {
  AddData(text, line_type, line_type, false);
}

void TerminalOutput::AddLine(std::string_view text, VMurTerminal_LineType line_type) {
  AddText(text, line_type);
  EndLine();
}

void TerminalOutput::AddData(std::string_view data, VMurTerminal_LineType view_line_type,
                             VMurTerminal_LineType log_line_type, bool raw) {
  if (data.empty() || ignore_add_chars_) return;
  const uint32_t now = TickCount();
  if (view_ != nullptr && view_line_type != VMurTerminal_lt_NoType) {
    Render(data, view_line_type);
    // Only a piece that reached the view opens or continues a line there.
    prev_view_line_type_ = view_line_type;
  }
  if (logger_ && !logger_->LogPath().empty() && log_line_type != VMurTerminal_lt_NoType) {
    logger_->logData(log_line_type, data, raw);
  }
  if (IsIncoming(view_line_type) || IsOutgoing(view_line_type)) {
    const uint32_t elapsed = now - last_output_tick_;
    last_output_tick_ = now;
    if (on_timing_) on_timing_(IsOutgoing(view_line_type), elapsed);
  }
}

void TerminalOutput::Render(std::string_view data, VMurTerminal_LineType line_type) {
  const LineTypeStyle& style = StyleOf(line_type);
  const bool new_line = line_type != prev_view_line_type_;
  const bool break_first = new_line && prev_view_line_type_ != VMurTerminal_lt_NoType;
  std::string& header = header_buffer_;
  header.clear();
  if (new_line) {
    if (break_first) override_color_ = clNone;
    int& counter = line_counters_[line_type];
    counter = (counter + 1) % kCounterModulus;
    const bool counts = show_options_ & vstsoShowLineCounts;
    const bool times = show_options_ & vstsoShowTimes;
    if (counts) AppendCounter(header, counter);
    if (counts && times) header += " @ ";
    if (times) AppendTimeOfDayText(header, clock_());
    if (counts || times) header += ": ";
  }
  const bool highlighted = override_color_ != clNone;
  const TColor base_color = highlighted ? override_color_ : style.color;
  const int last_line = view_->LineCount() - 1;
  const Pieces pieces{data,
                      style,
                      new_line,
                      break_first,
                      header,
                      base_color,
                      view_->Length() - view_->LineStart(last_line),
                      max_chars_per_line_};

  int units = 0;
  size_t bytes = 0;
  pieces.ForEach([&](std::string_view piece, int piece_units, uint32_t, bool) {
    units += piece_units;
    bytes += piece.size();
  });
  const Placement placement = MakeRoom(units);
  std::string& text = text_buffer_;
  text.clear();
  text.reserve(bytes);
  pieces.ForEach([&](std::string_view piece, int, uint32_t, bool) { text.append(piece); });
  int position = view_->Length();
  view_->Append(text, base_color, highlighted);
  if (debug_windows_visible_) view_->Repaint();
  AppendToLogFile(text);

  if (!highlighted) {
    int run_start = 0;
    uint32_t run_color = base_color;
    auto close_run = [&](int end) {
      if (run_color != base_color && end > run_start) {
        view_->SetColor(run_start, end, run_color, false);
      }
    };
    pieces.ForEach([&](std::string_view, int piece_units, uint32_t color, bool) {
      if (color != run_color) {
        close_run(position);
        run_start = position;
        run_color = color;
      }
      position += piece_units;
    });
    close_run(position);
  }
  Restore(placement);
}

void TerminalOutput::EndLine() {
  if (ignore_add_chars_) return;
  override_color_ = clNone;
  if (prev_view_line_type_ != VMurTerminal_lt_NoType && view_ != nullptr) {
    const Placement placement = MakeRoom(1);
    view_->Append("\r\n", StyleOf(prev_view_line_type_).color, false);
    Restore(placement);
    prev_view_line_type_ = VMurTerminal_lt_NoType;
    AppendToLogFile("\r\n");
  }
  if (logger_) logger_->logData(VMurTerminal_lt_NoType, {}, false);
}

void TerminalOutput::HighlightLine(TColor color) {
  if (ignore_add_chars_ || color == clNone) return;
  if (view_ != nullptr && view_->Length() > view_->LineStart(view_->LineCount() - 1)) {
    const Placement placement = MakeRoom(0);
    // Making room may have moved the last line.
    view_->SetColor(view_->LineStart(view_->LineCount() - 1), view_->Length(), color, true);
    Restore(placement);
  }
  override_color_ = color;
}

void TerminalOutput::Clear() {
  if (view_ != nullptr) view_->Clear();
  prev_view_line_type_ = VMurTerminal_lt_NoType;
  override_color_ = clNone;
  line_counters_.fill(0);
}

void TerminalOutput::SaveToFile(const std::string& file_name, bool rich_text) {
  if (view_ == nullptr) return;
  std::string content;
  if (rich_text) {
    content = WriteRtf(view_->Runs(), view_->FontFamily(), view_->FontPointSize());
  } else {
    for (const TextRun& run : view_->Runs()) content += run.text;
    // Each line, the last one too, ends with CR LF; an empty last line is no line.
    std::string lines;
    lines.reserve(content.size() + content.size() / 8);
    for (const char c : content) {
      if (c == '\n') {
        lines += "\r\n";
      } else {
        lines += c;
      }
    }
    if (!content.empty() && content.back() != '\n') lines += "\r\n";
    content = std::move(lines);
  }
  TMurFileStream file(file_name, kGenericWrite, 0, kCreateAlways, kFileAttributeNormal);
  if (file.Write(content) < 0) {
    throw Exception("Cannot write file " + file_name + ": " + SystemErrorText(errno));
  }
}

TerminalOutput::Placement TerminalOutput::MakeRoom(int length) {
  // Only a reader's position is ever restored; following the end needs none.
  Placement placement{view_->HasFocus(), {0, 0}, 0};
  if (placement.had_focus) {
    placement.selection = view_->Selection();
    placement.first_visible_line = view_->FirstVisibleLine();
  }
  const int lines = TextLineCount(*view_);
  const int64_t total = view_->Length();
  const int64_t excess = total + length - max_chars_;
  if (lines > max_lines_ || excess > 0) {
    int deleted = std::max(lines - (max_lines_ - max_lines_ / 10), 0);
    while (deleted < lines && view_->LineStart(deleted) < excess) ++deleted;
    const int cut = deleted >= lines ? static_cast<int>(total) : view_->LineStart(deleted);
    view_->DeleteTo(cut);
    placement.first_visible_line -= deleted;
    TextSelection& selection = placement.selection;
    selection.start = std::max(selection.start - cut, 0);
    selection.end = std::max(selection.end - cut, selection.start);
  }
  return placement;
}

void TerminalOutput::Restore(const Placement& placement) {
  if (!placement.had_focus) {
    view_->ScrollToEnd();
    return;
  }
  // Someone is reading or selecting: keep the lines they see and their selection.
  view_->ScrollLines(placement.first_visible_line - view_->FirstVisibleLine());
  view_->SetSelection(placement.selection);
}

void TerminalOutput::SetLogFileName(const std::string& name) {
  if (name == log_file_name_) return;
  log_file_.reset();
  log_file_name_ = name;
  if (name.empty()) return;
  try {
    log_file_ = std::make_unique<TMurFileStream>(name, kGenericRead | kGenericWrite,
                                                 kFileShareRead | kFileShareWrite, kOpenAlways,
                                                 kFileFlagWriteThrough);
  } catch (const Exception&) {
    return;  // the view goes on without its log file
  }
  log_file_->Seek(0, SeekOrigin::kEnd);
  log_file_->Write("\r\n\r\n");
}

void TerminalOutput::AppendToLogFile(std::string_view text) {
  if (!log_file_) return;
  log_file_->Write(text);
  const int64_t size = log_file_->Size();
  if (size <= log_file_max_len_ && size <= kLogFileHardLimit) return;
  const int64_t keep = std::max<int64_t>(log_file_max_len_ / 10 * 9, 0);
  std::string tail(static_cast<size_t>(keep), '\0');
  int64_t read = 0;
  if (log_file_->Seek(-keep, SeekOrigin::kEnd) >= 0) {
    while (read < keep) {
      const int64_t got = log_file_->Read(tail.data() + read, keep - read);
      if (got <= 0) break;
      read += got;
    }
  }
  // A short read leaves the file as it was; the next insertion tries again.
  if (read == keep && log_file_->Seek(0, SeekOrigin::kBeginning) == 0 &&
      log_file_->Write(tail) == keep) {
    log_file_->SetSize(keep);
  }
  log_file_->Seek(0, SeekOrigin::kEnd);
}

VMurLogger& TerminalOutput::EnsureLogger() {
  if (!logger_) {
    logger_ = std::make_unique<VMurLogger>(nullptr);
    logger_->SetClock(clock_);
  }
  return *logger_;
}

std::string TerminalOutput::LoggerFilename() const {
  return logger_ ? logger_->LogPath() : std::string();
}

void TerminalOutput::SetLoggerFilename(const std::string& name) {
  if (!logger_ && name.empty()) return;
  EnsureLogger().SetLogPath(name);
}

VMurLoggerNewFileStyle TerminalOutput::LoggerNamingStyle() const {
  return logger_ ? logger_->NewFileStyle() : vslnfOnOpen;
}

void TerminalOutput::SetLoggerNamingStyle(VMurLoggerNewFileStyle style) {
  if (!logger_ && style == vslnfOnOpen) return;
  EnsureLogger().SetNewFileStyle(style);
}

uint32_t TerminalOutput::LoggerOpenFlags() const {
  return logger_ ? logger_->NewFileOpenFlags() : kFileFlagWriteThrough;
}

void TerminalOutput::SetLoggerOpenFlags(uint32_t flags) {
  if (!logger_ && flags == kFileFlagWriteThrough) return;
  EnsureLogger().SetNewFileOpenFlags(flags);
}

void TerminalOutput::SetClock(LocalClock clock) {
  clock_ = std::move(clock);
  if (logger_) logger_->SetClock(clock_);
}

}  // namespace kestrova
