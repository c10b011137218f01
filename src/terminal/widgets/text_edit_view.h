// The terminal's rich view on a QTextEdit: appends and colours text through cursors of its
// own, so the user's selection and scroll position stay untouched unless the output
// operations move them.
#pragma once

#include "terminal/rich_view.h"

class QTextEdit;

namespace kestrova {

class TextEditView : public RichView {
 public:
  // Turns off undo (the terminal would otherwise keep everything it ever showed) and line
  // wrapping (a view line is a line of traffic). `edit` must outlive this view.
  explicit TextEditView(QTextEdit& edit);

  int Length() const override;
  int LineCount() const override;
  int LineStart(int line) const override;

  // `text` must be valid UTF-8, as the output operations make it.
  void Append(std::string_view text, uint32_t color, bool underline) override;
  void SetColor(int start, int end, uint32_t color, bool underline) override;
  void DeleteTo(int end) override;
  void Clear() override;

  TextSelection Selection() const override;
  // Does not scroll.
  void SetSelection(TextSelection selection) override;
  int FirstVisibleLine() const override;
  void ScrollLines(int delta) override;
  void ScrollToEnd() override;
  bool HasFocus() const override;
  void Repaint() override;

  std::vector<TextRun> Runs() const override;
  std::string FontFamily() const override;
  double FontPointSize() const override;

 private:
  QTextEdit& edit_;
};

}  // namespace kestrova
