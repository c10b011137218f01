// The coloured text view the terminal's output operations draw into. One implementation sits on
// the GUI toolkit's rich-text widget, another keeps the text in memory for tests and tools.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/color.h"

namespace kestrova {

// A stretch of text in one colour. Lines are separated by "\n"; a line break belongs to the run
// before it (or starts a black, plain run when the text begins with it).
struct TextRun {
  std::string text;  // UTF-8
  TColor color;
  bool underline;

  friend bool operator==(const TextRun&, const TextRun&) = default;
};

struct TextSelection {
  int start;
  int end;

  friend bool operator==(const TextSelection&, const TextSelection&) = default;
};

// Positions count UTF-16 code units of the shown text, and each line break counts one. The
// view always has at least one line: an empty text is one empty line, and a text ending in a
// line break has an empty last line.
class RichView {
 public:
  virtual ~RichView() = default;

  virtual int Length() const = 0;
  virtual int LineCount() const = 0;
  // Position of the first character of `line` (0-based, below LineCount()).
  virtual int LineStart(int line) const = 0;

  // Appends UTF-8 text at the end; "\r\n", "\r" and "\n" each break the line.
  virtual void Append(std::string_view text, TColor color, bool underline) = 0;
  virtual void SetColor(int start, int end, TColor color, bool underline) = 0;
  // Deletes the text before position `end`.
  virtual void DeleteTo(int end) = 0;
  virtual void Clear() = 0;

  virtual TextSelection Selection() const = 0;
  virtual void SetSelection(TextSelection selection) = 0;
  virtual int FirstVisibleLine() const = 0;
  virtual void ScrollLines(int delta) = 0;
  // Puts the caret at the end of the text and scrolls it into view.
  virtual void ScrollToEnd() = 0;
  virtual bool HasFocus() const = 0;
  virtual void Repaint() = 0;

  virtual std::vector<TextRun> Runs() const = 0;
  virtual std::string FontFamily() const = 0;
  virtual double FontPointSize() const = 0;
};

}  // namespace kestrova
