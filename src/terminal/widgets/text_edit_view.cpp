#include "terminal/widgets/text_edit_view.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <chrono>

#include "terminal/utf8.h"
#include "util/widgets/qt_color.h"

namespace kestrova {
namespace {

// How long new text may wait before it is shown: one refresh of the screen at 50 Hz.
constexpr std::chrono::milliseconds kRefreshInterval{20};

QTextCharFormat Format(TColor color, bool underline) {
  QTextCharFormat format;
  // No colour (or one the palette lacks) keeps the view's own text colour.
  if (const QColor shown = ToQColor(color); shown.isValid()) format.setForeground(shown);
  format.setFontUnderline(underline);
  return format;
}

TColor ColorOf(const QTextCharFormat& format) {
  if (!format.hasProperty(QTextFormat::ForegroundBrush)) return clBlack;
  const QColor color = format.foreground().color();
  return Rgb(static_cast<uint8_t>(color.red()), static_cast<uint8_t>(color.green()),
             static_cast<uint8_t>(color.blue()));
}

// Appends `text` to the last run when it has the same look, else starts a run.
void AddToRuns(std::vector<TextRun>& runs, const QString& text, TColor color, bool underline) {
  if (runs.empty() || runs.back().color != color || runs.back().underline != underline) {
    runs.push_back({{}, color, underline});
  }
  runs.back().text += text.toStdString();
}

// Traffic reads left to right; saying so spares the layout a scan of every line's text.
void SetLeftToRight(QTextDocument& document) {
  QTextCursor cursor(&document);
  QTextBlockFormat format = cursor.blockFormat();
  format.setLayoutDirection(Qt::LeftToRight);
  cursor.setBlockFormat(format);
}

}  // namespace

TextEditView::TextEditView(QTextEdit& edit) : edit_(edit) {
  edit_.setUndoRedoEnabled(false);
  edit_.setLineWrapMode(QTextEdit::NoWrap);
  SetLeftToRight(*edit_.document());
  flush_timer_.setSingleShot(true);
  flush_timer_.setInterval(kRefreshInterval);
  QObject::connect(&flush_timer_, &QTimer::timeout, [this] { Flush(); });
}

TextEditView::~TextEditView() { Flush(); }

int TextEditView::DocumentLength() const { return edit_.document()->characterCount() - 1; }

int TextEditView::Length() const { return DocumentLength() + static_cast<int>(tail_.size()); }

int TextEditView::LineCount() const {
  return edit_.document()->blockCount() + static_cast<int>(tail_breaks_.size());
}

int TextEditView::LineStart(int line) const {
  const int blocks = edit_.document()->blockCount();
  if (line < blocks) return edit_.document()->findBlockByNumber(line).position();
  return DocumentLength() + tail_breaks_[static_cast<size_t>(line - blocks)] + 1;
}

void TextEditView::Append(std::string_view text, TColor color, bool underline) {
  const QString added = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const auto start = tail_.size();
  tail_.reserve(start + added.size());
  for (qsizetype i = 0; i < added.size(); ++i) {
    QChar c = added[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < added.size() && added[i + 1] == u'\n') ++i;
      c = u'\n';
      tail_breaks_.push_back(static_cast<int>(tail_.size()));
    } else if (IsHiddenBreak(c.unicode())) {
      c = QChar(0xFFFD);
    }
    tail_.append(c);
  }
  const int length = static_cast<int>(tail_.size() - start);
  if (!tail_runs_.empty() && tail_runs_.back().color == color &&
      tail_runs_.back().underline == underline) {
    tail_runs_.back().length += length;
  } else if (length > 0) {
    tail_runs_.push_back({length, color, underline});
  }
  if (!flush_timer_.isActive()) flush_timer_.start();
}

void TextEditView::SetColor(int start, int end, TColor color, bool underline) {
  const int document_length = DocumentLength();
  start = std::clamp(start, 0, Length());
  end = std::clamp(end, start, Length());
  if (start < document_length) {
    QTextCursor cursor(edit_.document());
    cursor.setPosition(start);
    cursor.setPosition(std::min(end, document_length), QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(Format(color, underline));
  }
  if (end > document_length) {
    ColorTail(std::max(start, document_length) - document_length, end - document_length, color,
              underline);
  }
}

void TextEditView::ColorTail(int start, int end, TColor color, bool underline) {
  std::vector<TailRun> runs;
  runs.reserve(tail_runs_.size() + 2);
  auto add = [&runs](int length, TColor run_color, bool run_underline) {
    if (length <= 0) return;
    if (!runs.empty() && runs.back().color == run_color && runs.back().underline == run_underline) {
      runs.back().length += length;
    } else {
      runs.push_back({length, run_color, run_underline});
    }
  };
  int position = 0;
  for (const TailRun& run : tail_runs_) {
    const int run_end = position + run.length;
    const int inside_start = std::clamp(start, position, run_end);
    const int inside_end = std::clamp(end, position, run_end);
    add(inside_start - position, run.color, run.underline);
    add(inside_end - inside_start, color, underline);
    add(run_end - inside_end, run.color, run.underline);
    position = run_end;
  }
  tail_runs_ = std::move(runs);
}

void TextEditView::DeleteTo(int end) {
  end = std::clamp(end, 0, Length());
  // The tail is counted from the end of the document, so a cut above it needs no flush.
  if (end > DocumentLength()) Flush();
  QTextCursor cursor(edit_.document());
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void TextEditView::Clear() {
  tail_.clear();
  tail_breaks_.clear();
  tail_runs_.clear();
  QTextCursor cursor(edit_.document());
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  cursor.setBlockCharFormat(QTextCharFormat());
}

void TextEditView::Flush() const {
  if (!tail_.isEmpty()) {
    QTextCursor cursor(edit_.document());
    cursor.movePosition(QTextCursor::End);
    // One edit block: the layout runs once for the whole tail.
    cursor.beginEditBlock();
    qsizetype position = 0;
    for (const TailRun& run : tail_runs_) {
      cursor.insertText(tail_.sliced(position, run.length), Format(run.color, run.underline));
      position += run.length;
    }
    cursor.endEditBlock();
    tail_.clear();
    tail_breaks_.clear();
    tail_runs_.clear();
  }
  if (follow_end_) {
    follow_end_ = false;
    QTextCursor cursor = edit_.textCursor();
    cursor.movePosition(QTextCursor::End);
    edit_.setTextCursor(cursor);
    // Down to the bottom margin, not just far enough to show the caret.
    QScrollBar& vertical = *edit_.verticalScrollBar();
    vertical.setValue(vertical.maximum());
  }
}

void TextEditView::FlushIfFollowing() const {
  // The tail lies below everything in the widget and leaves its positions and layout alone;
  // only a pending move to the end changes what a reader's position is.
  if (follow_end_) Flush();
}

TextSelection TextEditView::Selection() const {
  FlushIfFollowing();
  const QTextCursor cursor = edit_.textCursor();
  return {cursor.selectionStart(), cursor.selectionEnd()};
}

void TextEditView::SetSelection(TextSelection selection) {
  if (std::max(selection.start, selection.end) > DocumentLength()) Flush();
  // Setting the cursor repaints; a reader's unchanged selection needs none.
  if (Selection() == selection) return;
  QScrollBar& vertical = *edit_.verticalScrollBar();
  QScrollBar& horizontal = *edit_.horizontalScrollBar();
  const int top = vertical.value();
  const int left = horizontal.value();
  QTextCursor cursor(edit_.document());
  cursor.setPosition(std::clamp(selection.start, 0, Length()));
  cursor.setPosition(std::clamp(selection.end, 0, Length()), QTextCursor::KeepAnchor);
  edit_.setTextCursor(cursor);
  vertical.setValue(top);
  horizontal.setValue(left);
}

int TextEditView::FirstVisibleLine() const {
  // Lines do not wrap, so block tops grow with the block number: search for the last block
  // that starts at or above the top of the viewport.
  FlushIfFollowing();
  const QTextDocument& document = *edit_.document();
  const QAbstractTextDocumentLayout& layout = *document.documentLayout();
  const int top = edit_.verticalScrollBar()->value();
  int low = 0;
  int high = document.blockCount() - 1;
  while (low < high) {
    const int middle = (low + high + 1) / 2;
    if (layout.blockBoundingRect(document.findBlockByNumber(middle)).top() <= top) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

void TextEditView::ScrollLines(int delta) {
  if (delta == 0) return;
  const QTextDocument& document = *edit_.document();
  const int wanted = FirstVisibleLine() + delta;
  if (wanted >= document.blockCount()) Flush();
  const int line = std::clamp(wanted, 0, document.blockCount() - 1);
  const QTextBlock block = document.findBlockByNumber(line);
  const qreal top = document.documentLayout()->blockBoundingRect(block).top();
  edit_.verticalScrollBar()->setValue(line == 0 ? 0 : static_cast<int>(top));
}

void TextEditView::ScrollToEnd() {
  // Done with the flush: only then does the layout know where the end is.
  follow_end_ = true;
  if (tail_.isEmpty()) Flush();
}

bool TextEditView::HasFocus() const { return edit_.hasFocus(); }

void TextEditView::Repaint() {
  Flush();
  edit_.viewport()->repaint();
}

std::vector<TextRun> TextEditView::Runs() const {
  Flush();
  std::vector<TextRun> runs;
  const QTextDocument& document = *edit_.document();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) {
      // A line break joins the run before it.
      if (runs.empty()) runs.push_back({{}, clBlack, false});
      runs.back().text += '\n';
    }
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      const QTextFragment piece = fragment.fragment();
      const QTextCharFormat format = piece.charFormat();
      AddToRuns(runs, piece.text(), ColorOf(format), format.fontUnderline());
    }
  }
  return runs;
}

std::string TextEditView::FontFamily() const { return edit_.font().family().toStdString(); }

double TextEditView::FontPointSize() const { return edit_.font().pointSizeF(); }

}  // namespace kestrova
