#include "terminal/line_store_view.h"

#include <algorithm>

namespace kestrova {

LineStoreView::LineStoreView(int page_lines) : page_lines_(std::max(page_lines, 1)) {}

void LineStoreView::Append(std::string_view text, TColor color, bool underline) {
  lines_.Append(text, color, underline);
  Changed();
}

void LineStoreView::SetColor(int start, int end, TColor color, bool underline) {
  lines_.SetColor(start, end, color, underline);
  Changed();
}

void LineStoreView::DeleteTo(int end) {
  end = std::clamp(end, 0, Length());
  lines_.DeleteTo(end);
  anchor_ = std::max(anchor_ - end, 0);
  caret_ = std::max(caret_ - end, 0);
  top_line_ = std::min(top_line_, LastScrollableLine());
  Changed();
}

void LineStoreView::Clear() {
  lines_.Clear();
  anchor_ = caret_ = top_line_ = 0;
  Changed();
}

TextSelection LineStoreView::Selection() const {
  return {std::min(anchor_, caret_), std::max(anchor_, caret_)};
}

void LineStoreView::SetSelection(TextSelection selection) {
  Select(selection.start, selection.end);
}

void LineStoreView::Select(int anchor, int caret) {
  anchor_ = std::clamp(anchor, 0, Length());
  caret_ = std::clamp(caret, 0, Length());
  Changed();
}

void LineStoreView::ScrollLines(int delta) { ScrollTo(top_line_ + delta); }

void LineStoreView::ScrollTo(int top_line) {
  top_line_ = std::clamp(top_line, 0, LastScrollableLine());
  Changed();
}

void LineStoreView::ScrollToEnd() {
  anchor_ = caret_ = Length();
  top_line_ = LastScrollableLine();
  Changed();
}

}  // namespace kestrova
