// The terminal's rich view on a QTextEdit. New text waits in a tail of its own and goes into
// the widget at most once per screen refresh, so fast traffic costs one layout and one paint
// per refresh rather than per piece; positions and lines count the tail as if it were there.
#pragma once

#include <QString>
#include <QTimer>
#include <vector>

#include "terminal/rich_view.h"

class QTextEdit;

namespace kestrova {

class TextEditView : public RichView {
 public:
  // Turns off undo (the terminal would otherwise keep everything it ever showed) and line
  // wrapping (a view line is a line of traffic). `edit` must outlive this view.
  explicit TextEditView(QTextEdit& edit);
  ~TextEditView() override;

  int Length() const override;
  int LineCount() const override;
  int LineStart(int line) const override;

  // `text` must be valid UTF-8, as the output operations make it.
  void Append(std::string_view text, TColor color, bool underline) override;
  void SetColor(int start, int end, TColor color, bool underline) override;
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

  // Puts the waiting tail into the widget (one edit, one layout) and follows the end if asked.
  void Flush() const;

 private:
  struct TailRun {
    int length;
    TColor color;
    bool underline;
  };

  int DocumentLength() const;
  void FlushIfFollowing() const;
  void ColorTail(int start, int end, TColor color, bool underline);

  QTextEdit& edit_;
  // Text not yet in the widget: line breaks as "\n", their positions, and its colour runs.
  mutable QString tail_;
  mutable std::vector<int> tail_breaks_;
  mutable std::vector<TailRun> tail_runs_;
  mutable bool follow_end_ = false;
  QTimer flush_timer_;
};

}  // namespace kestrova
