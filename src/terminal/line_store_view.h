// A rich view over a store of traffic lines, with a selection and a first visible line of a
// window that shows a page of lines. The traffic view widget draws one; tests and tools use
// it as it is, with a page of fixed height.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "terminal/rich_view.h"
#include "terminal/traffic_lines.h"

namespace kestrova {

class LineStoreView : public RichView {
 public:
  explicit LineStoreView(int page_lines = 20);

  int Length() const override { return lines_.Length(); }
  int LineCount() const override { return lines_.LineCount(); }
  int LineStart(int line) const override { return lines_.LineStart(line); }

  void Append(std::string_view text, TColor color, bool underline) override;
  void SetColor(int start, int end, TColor color, bool underline) override;
  // The window keeps its first visible line while the text above moves out.
  void DeleteTo(int end) override;
  void Clear() override;

  TextSelection Selection() const override;
  void SetSelection(TextSelection selection) override;
  int FirstVisibleLine() const override { return top_line_; }
  void ScrollLines(int delta) override;
  void ScrollToEnd() override;
  bool HasFocus() const override { return focused_; }
  void Repaint() override { ++repaint_count_; }

  std::vector<TextRun> Runs() const override { return lines_.Runs(); }
  std::string FontFamily() const override { return "Monospace"; }
  double FontPointSize() const override { return 10; }

  // The whole text in UTF-8, lines separated by "\n".
  std::string Text() const { return lines_.Text(0, Length()); }
  void SetFocused(bool focused) { focused_ = focused; }
  int RepaintCount() const { return repaint_count_; }
  const TrafficLines& Lines() const { return lines_; }

 protected:
  // Where a selection starts and where its moving end (the caret) is.
  int Anchor() const { return anchor_; }
  int Caret() const { return caret_; }
  void Select(int anchor, int caret);
  // Clamped to the lines there are.
  void ScrollTo(int top_line);
  int LastScrollableLine() const { return std::max(LineCount() - PageLines(), 0); }

  virtual int PageLines() const { return page_lines_; }
  // After every change of the text, the selection or the scroll position.
  virtual void Changed() {}

 private:
  TrafficLines lines_;
  int page_lines_;
  int anchor_ = 0;
  int caret_ = 0;
  int top_line_ = 0;
  bool focused_ = false;
  int repaint_count_ = 0;
};

}  // namespace kestrova
