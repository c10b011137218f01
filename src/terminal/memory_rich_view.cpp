#include "terminal/memory_rich_view.h"

#include <algorithm>

#include "terminal/utf8.h"

namespace kestrova {

MemoryRichView::MemoryRichView(int page_lines) : page_lines_(std::max(page_lines, 1)) {
  line_starts_.push_back(0);
}

void MemoryRichView::Append(std::string_view text, TColor color, bool underline) {
  const Look look{color, underline};
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t code_point = DecodeUtf8(text, pos);
    if (code_point == '\r' || code_point == '\n') {
      if (code_point == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
      text_.push_back(u'\n');
      looks_.push_back(look);
      line_starts_.push_back(Length());
      continue;
    }
    if (IsHiddenBreak(code_point)) code_point = 0xFFFD;
    if (code_point >= 0x10000) {
      const char32_t offset = code_point - 0x10000;
      text_.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      text_.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
      looks_.insert(looks_.end(), 2, look);
    } else {
      text_.push_back(static_cast<char16_t>(code_point));
      looks_.push_back(look);
    }
  }
}

void MemoryRichView::SetColor(int start, int end, TColor color, bool underline) {
  start = std::clamp(start, 0, Length());
  end = std::clamp(end, start, Length());
  std::fill(looks_.begin() + start, looks_.begin() + end, Look{color, underline});
}

void MemoryRichView::DeleteTo(int end) {
  end = std::clamp(end, 0, Length());
  text_.erase(0, static_cast<size_t>(end));
  looks_.erase(looks_.begin(), looks_.begin() + end);
  // Lines that started after the cut keep their starts, shifted; the cut begins line 0.
  const auto kept = std::upper_bound(line_starts_.begin(), line_starts_.end(), end);
  line_starts_.erase(line_starts_.begin() + 1, kept);
  for (auto it = line_starts_.begin() + 1; it != line_starts_.end(); ++it) *it -= end;
  // The window keeps its scroll offset while the text above moves out.
  first_visible_line_ = std::min(first_visible_line_, LastScrollableLine());
  selection_ = {std::max(selection_.start - end, 0), std::max(selection_.end - end, 0)};
}

void MemoryRichView::Clear() {
  text_.clear();
  looks_.clear();
  line_starts_.assign(1, 0);
  selection_ = {0, 0};
  first_visible_line_ = 0;
}

void MemoryRichView::SetSelection(TextSelection selection) {
  selection.start = std::clamp(selection.start, 0, Length());
  selection.end = std::clamp(selection.end, 0, Length());
  selection_ = selection;
}

void MemoryRichView::ScrollLines(int delta) {
  first_visible_line_ = std::clamp(first_visible_line_ + delta, 0, LastScrollableLine());
}

void MemoryRichView::ScrollToEnd() {
  selection_ = {Length(), Length()};
  first_visible_line_ = LastScrollableLine();
}

std::vector<TextRun> MemoryRichView::Runs() const {
  std::vector<TextRun> runs;
  std::u16string_view text = text_;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const TextRun style{{}, looks_[i].color, looks_[i].underline};
    // A line break joins whatever run comes before it.
    const bool joins =
        !runs.empty() && (unit == u'\n' || (runs.back().color == style.color &&
                                            runs.back().underline == style.underline));
    if (!joins) runs.push_back(unit == u'\n' ? TextRun{{}, clBlack, false} : style);
    char32_t code_point = unit;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size()) {
      code_point = 0x10000 + ((unit - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    AppendUtf8(runs.back().text, code_point);
  }
  return runs;
}

std::string MemoryRichView::Text() const {
  std::string text;
  for (const TextRun& run : Runs()) text += run.text;
  return text;
}

int MemoryRichView::LastScrollableLine() const { return std::max(LineCount() - page_lines_, 0); }

}  // namespace kestrova
