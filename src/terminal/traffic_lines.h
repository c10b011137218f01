// The text of the traffic view: a store of lines, each its characters and colour runs. Lines
// are added at the end and removed from the front, so a view kept within its limits costs
// time in proportion to what arrives, never to what it holds.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/rich_view.h"
#include "util/color.h"

namespace kestrova {

// A stretch of a line in one look, up to column `end` (exclusive).
struct LineRun {
  int end;
  TColor color;
  bool underline;
};

struct TrafficLine {
  int64_t start;        // position of the first character, counted since the store began
  std::u16string text;  // without the line break
  std::vector<LineRun> runs;
};

// Positions count UTF-16 units and one per line break, as RichView does. There is always at
// least one line; the last one has no line break.
class TrafficLines {
 public:
  TrafficLines();

  int Length() const { return static_cast<int>(End() - lines_.front().start); }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  int LineStart(int line) const {
    return static_cast<int>(lines_[static_cast<size_t>(line)].start - lines_.front().start);
  }
  const TrafficLine& Line(int line) const { return lines_[static_cast<size_t>(line)]; }
  // The line holding `position`; a line break belongs to the line it ends.
  int LineOf(int position) const;
  // The longest line, in UTF-16 units.
  int LongestLine() const;

  // UTF-8 text; "\r\n", "\r" and "\n" each break the line, any byte that is not UTF-8 shows
  // its Latin-1 character.
  void Append(std::string_view text, TColor color, bool underline);
  void SetColor(int start, int end, TColor color, bool underline);
  // Deletes the text before `end`.
  void DeleteTo(int end);
  void Clear();

  std::vector<TextRun> Runs() const;
  // UTF-8, line breaks as "\n".
  std::string Text(int start, int end) const;

 private:
  int64_t End() const {
    return lines_.back().start + static_cast<int64_t>(lines_.back().text.size());
  }
  void BreakLine();

  std::deque<TrafficLine> lines_;
};

}  // namespace kestrova
