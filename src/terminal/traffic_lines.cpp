#include "terminal/traffic_lines.h"

#include <algorithm>

#include "terminal/utf8.h"

namespace kestrova {
namespace {

bool IsPlainAscii(unsigned char byte) { return byte < 0x80 && byte != '\r' && byte != '\n'; }

bool SameLook(const LineRun& run, TColor color, bool underline) {
  return run.color == color && run.underline == underline;
}

// Extends the last run to the end of the line's text, or starts a run in the new look.
void ExtendRuns(TrafficLine& line, TColor color, bool underline) {
  const int end = static_cast<int>(line.text.size());
  if (end == (line.runs.empty() ? 0 : line.runs.back().end)) return;
  if (!line.runs.empty() && SameLook(line.runs.back(), color, underline)) {
    line.runs.back().end = end;
  } else {
    line.runs.push_back({end, color, underline});
  }
}

// Gives columns [from, to) the look, keeping the runs before and after.
void Recolor(std::vector<LineRun>& runs, int from, int to, TColor color, bool underline) {
  std::vector<LineRun> result;
  result.reserve(runs.size() + 2);
  auto add = [&result](int end, TColor run_color, bool run_underline) {
    const int start = result.empty() ? 0 : result.back().end;
    if (end <= start) return;
    if (!result.empty() && SameLook(result.back(), run_color, run_underline)) {
      result.back().end = end;
    } else {
      result.push_back({end, run_color, run_underline});
    }
  };
  for (const LineRun& run : runs) {
    add(std::min(run.end, from), run.color, run.underline);
    add(std::min(run.end, to), color, underline);
    add(run.end, run.color, run.underline);
  }
  runs = std::move(result);
}

void AppendAsUtf8(std::string& out, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code_point = text[i];
    if (code_point < 0x80) {
      out += static_cast<char>(code_point);
      continue;
    }
    if (code_point >= 0xD800 && code_point < 0xDC00 && i + 1 < text.size()) {
      code_point = 0x10000 + ((code_point - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    AppendUtf8(out, code_point);
  }
}

}  // namespace

TrafficLines::TrafficLines() { lines_.push_back({0, {}, {}}); }

int TrafficLines::LineOf(int position) const {
  const int64_t at = lines_.front().start + position;
  const auto after =
      std::upper_bound(lines_.begin() + 1, lines_.end(), at,
                       [](int64_t value, const TrafficLine& line) { return value < line.start; });
  return static_cast<int>(after - lines_.begin()) - 1;
}

int TrafficLines::LongestLine() const {
  size_t longest = 0;
  for (const TrafficLine& line : lines_) longest = std::max(longest, line.text.size());
  return static_cast<int>(longest);
}

void TrafficLines::BreakLine() { lines_.push_back({End() + 1, {}, {}}); }

void TrafficLines::Append(std::string_view text, TColor color, bool underline) {
  TrafficLine* line = &lines_.back();
  line->text.reserve(line->text.size() + text.size());
  for (size_t pos = 0; pos < text.size();) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte == '\r' || byte == '\n') {
      pos += (byte == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
      ExtendRuns(*line, color, underline);
      BreakLine();
      line = &lines_.back();
      continue;
    }
    if (byte < 0x80) {
      // Traffic is mostly ASCII: widen a whole stretch at once.
      size_t end = pos + 1;
      while (end < text.size() && IsPlainAscii(static_cast<unsigned char>(text[end]))) ++end;
      const size_t old_size = line->text.size();
      line->text.resize(old_size + (end - pos));
      std::copy(text.begin() + static_cast<ptrdiff_t>(pos),
                text.begin() + static_cast<ptrdiff_t>(end),
                line->text.begin() + static_cast<ptrdiff_t>(old_size));
      pos = end;
      continue;
    }
    char32_t code_point = DecodeUtf8(text, pos);
    if (IsHiddenBreak(code_point)) code_point = 0xFFFD;
    if (code_point >= 0x10000) {
      const char32_t offset = code_point - 0x10000;
      line->text += static_cast<char16_t>(0xD800 + (offset >> 10));
      line->text += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
      line->text += static_cast<char16_t>(code_point);
    }
  }
  ExtendRuns(*line, color, underline);
}

void TrafficLines::SetColor(int start, int end, TColor color, bool underline) {
  start = std::clamp(start, 0, Length());
  end = std::clamp(end, start, Length());
  if (start == end) return;
  // New text is coloured where it was added: on the last line, found without a search.
  const int first = start >= LineStart(LineCount() - 1) ? LineCount() - 1 : LineOf(start);
  for (int index = first; index < LineCount(); ++index) {
    TrafficLine& line = lines_[static_cast<size_t>(index)];
    const int line_start = LineStart(index);
    if (line_start >= end) break;
    const int length = static_cast<int>(line.text.size());
    const int from = std::clamp(start - line_start, 0, length);
    const int to = std::clamp(end - line_start, 0, length);
    if (from < to) Recolor(line.runs, from, to, color, underline);
  }
}

void TrafficLines::DeleteTo(int end) {
  const int64_t cut_at = lines_.front().start + std::clamp(end, 0, Length());
  while (lines_.size() > 1 && lines_[1].start <= cut_at) lines_.pop_front();
  TrafficLine& first = lines_.front();
  const int cut = static_cast<int>(cut_at - first.start);
  if (cut <= 0) return;
  first.text.erase(0, static_cast<size_t>(cut));
  first.start = cut_at;
  for (LineRun& run : first.runs) run.end -= cut;
  std::erase_if(first.runs, [](const LineRun& run) { return run.end <= 0; });
}

void TrafficLines::Clear() {
  lines_.clear();
  lines_.push_back({0, {}, {}});
}

std::vector<TextRun> TrafficLines::Runs() const {
  std::vector<TextRun> runs;
  for (size_t index = 0; index < lines_.size(); ++index) {
    const TrafficLine& line = lines_[index];
    int column = 0;
    for (const LineRun& run : line.runs) {
      if (runs.empty() || runs.back().color != run.color ||
          runs.back().underline != run.underline) {
        runs.push_back({{}, run.color, run.underline});
      }
      AppendAsUtf8(runs.back().text,
                   std::u16string_view(line.text).substr(static_cast<size_t>(column),
                                                         static_cast<size_t>(run.end - column)));
      column = run.end;
    }
    if (index + 1 == lines_.size()) break;
    // A line break joins the run before it.
    if (runs.empty()) runs.push_back({{}, clBlack, false});
    runs.back().text += '\n';
  }
  return runs;
}

std::string TrafficLines::Text(int start, int end) const {
  start = std::clamp(start, 0, Length());
  end = std::clamp(end, start, Length());
  std::string text;
  for (int index = LineOf(start); index < LineCount(); ++index) {
    const int line_start = LineStart(index);
    if (line_start >= end) break;
    const std::u16string_view line = Line(index).text;
    const int length = static_cast<int>(line.size());
    const int from = std::clamp(start - line_start, 0, length);
    const int to = std::clamp(end - line_start, 0, length);
    AppendAsUtf8(text, line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
    if (end > line_start + length && index + 1 < LineCount()) text += '\n';
  }
  return text;
}

}  // namespace kestrova
