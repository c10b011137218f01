// A rich view that keeps its text and colours in memory: what tests and headless tools draw
// into. It scrolls like a window showing a fixed number of lines.
#pragma once

#include <string>
#include <vector>

#include "terminal/rich_view.h"

namespace kestrova {

class MemoryRichView : public RichView {
 public:
  explicit MemoryRichView(int page_lines = 20);

  int Length() const override { return static_cast<int>(text_.size()); }
  int LineCount() const override { return static_cast<int>(line_starts_.size()); }
  int LineStart(int line) const override { return line_starts_[static_cast<size_t>(line)]; }

  void Append(std::string_view text, TColor color, bool underline) override;
  void SetColor(int start, int end, TColor color, bool underline) override;
  void DeleteTo(int end) override;
  void Clear() override;

  TextSelection Selection() const override { return selection_; }
  void SetSelection(TextSelection selection) override;
  int FirstVisibleLine() const override { return first_visible_line_; }
  void ScrollLines(int delta) override;
  void ScrollToEnd() override;
  bool HasFocus() const override { return focused_; }
  void Repaint() override { ++repaint_count_; }

  std::vector<TextRun> Runs() const override;
  std::string FontFamily() const override { return "Monospace"; }
  double FontPointSize() const override { return 10; }

  // The whole text in UTF-8, lines separated by "\n".
  std::string Text() const;
  void SetFocused(bool focused) { focused_ = focused; }
  int RepaintCount() const { return repaint_count_; }

 private:
  int LastScrollableLine() const;

  int page_lines_;
  std::u16string text_;
  struct Look {
    TColor color;
    bool underline;
  };

  std::vector<Look> looks_;  // one per unit of text_
  std::vector<int> line_starts_;
  TextSelection selection_{0, 0};
  int first_visible_line_ = 0;
  bool focused_ = false;
  int repaint_count_ = 0;
};

}  // namespace kestrova
