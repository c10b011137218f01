#include "terminal/widgets/text_edit_view.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

#include "terminal/utf8.h"

namespace kestrova {
namespace {

QTextCharFormat Format(uint32_t color, bool underline) {
  QTextCharFormat format;
  format.setForeground(QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                              static_cast<int>((color >> 16) & 0xFF)));
  format.setFontUnderline(underline);
  return format;
}

uint32_t ColorOf(const QTextCharFormat& format) {
  if (!format.hasProperty(QTextFormat::ForegroundBrush)) return 0;
  const QColor color = format.foreground().color();
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

// Appends `text` to the last run when it has the same look, else starts a run.
void AddToRuns(std::vector<TextRun>& runs, const QString& text, uint32_t color, bool underline) {
  if (runs.empty() || runs.back().color != color || runs.back().underline != underline) {
    runs.push_back({{}, color, underline});
  }
  runs.back().text += text.toStdString();
}

}  // namespace

TextEditView::TextEditView(QTextEdit& edit) : edit_(edit) {
  edit_.setUndoRedoEnabled(false);
  edit_.setLineWrapMode(QTextEdit::NoWrap);
}

int TextEditView::Length() const { return edit_.document()->characterCount() - 1; }

int TextEditView::LineCount() const { return edit_.document()->blockCount(); }

int TextEditView::LineStart(int line) const {
  return edit_.document()->findBlockByNumber(line).position();
}

void TextEditView::Append(std::string_view text, uint32_t color, bool underline) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  for (QChar& c : shown) {
    if (IsHiddenBreak(c.unicode())) c = QChar(0xFFFD);
  }
  QTextCursor cursor(edit_.document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(shown, Format(color, underline));
}

void TextEditView::SetColor(int start, int end, uint32_t color, bool underline) {
  QTextCursor cursor(edit_.document());
  cursor.setPosition(std::clamp(start, 0, Length()));
  cursor.setPosition(std::clamp(end, 0, Length()), QTextCursor::KeepAnchor);
  cursor.mergeCharFormat(Format(color, underline));
}

void TextEditView::DeleteTo(int end) {
  QTextCursor cursor(edit_.document());
  cursor.setPosition(std::clamp(end, 0, Length()), QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void TextEditView::Clear() {
  QTextCursor cursor(edit_.document());
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  cursor.setBlockCharFormat(QTextCharFormat());
}

TextSelection TextEditView::Selection() const {
  const QTextCursor cursor = edit_.textCursor();
  return {cursor.selectionStart(), cursor.selectionEnd()};
}

void TextEditView::SetSelection(TextSelection selection) {
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
  const int line = std::clamp(FirstVisibleLine() + delta, 0, document.blockCount() - 1);
  const QTextBlock block = document.findBlockByNumber(line);
  const qreal top = document.documentLayout()->blockBoundingRect(block).top();
  edit_.verticalScrollBar()->setValue(line == 0 ? 0 : static_cast<int>(top));
}

void TextEditView::ScrollToEnd() {
  QTextCursor cursor = edit_.textCursor();
  cursor.movePosition(QTextCursor::End);
  edit_.setTextCursor(cursor);
  // Down to the bottom margin, not just far enough to show the caret.
  QScrollBar& vertical = *edit_.verticalScrollBar();
  vertical.setValue(vertical.maximum());
}

bool TextEditView::HasFocus() const { return edit_.hasFocus(); }

void TextEditView::Repaint() { edit_.viewport()->repaint(); }

std::vector<TextRun> TextEditView::Runs() const {
  std::vector<TextRun> runs;
  const QTextDocument& document = *edit_.document();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) {
      // A line break joins the run before it.
      if (runs.empty()) runs.push_back({{}, 0, false});
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
