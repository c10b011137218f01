#include "terminal/widgets/traffic_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "terminal/widgets/glyph_painter.h"
#include "util/widgets/qt_color.h"

namespace kestrova {
namespace {

// New traffic is drawn at most some 30 times a second: while data keep coming every frame
// redraws most of the lines, and more frames would not show more. The first change after a
// quiet spell is drawn at once; later ones ride on the data turn that finds a frame due, so a
// busy port does not wake the thread for frames as well; the timer only catches the last change.
constexpr int kFrameMs = 33;
constexpr int kCatchUpMs = 8;
constexpr int kBarSyncMs = 250;
constexpr int kMargin = 3;

QStringView TextOf(const TrafficLine& line) {
  return QStringView(line.text.data(), static_cast<qsizetype>(line.text.size()));
}

bool IsWordCharacter(char16_t c) { return c > u' '; }

}  // namespace

QFont FixedPitchFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (QFontInfo(font).fixedPitch()) return font;
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isFixedPitch(family)) return QFont(family);
  }
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

TrafficView::TrafficView(QWidget* parent) : QAbstractScrollArea(parent) {
  // Fixed pitch in the size the window gives it.
  QFont fixed = font();
  fixed.setFamily(FixedPitchFont().family());
  setFont(fixed);
  FontChanged();
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  // The view paints every pixel itself, a line at a time: Qt splits a fill taller than about
  // a hundred pixels across threads, which costs more than it saves at every frame.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  verticalScrollBar()->setSingleStep(1);
  frame_timer_.setSingleShot(true);
  QObject::connect(&frame_timer_, &QTimer::timeout, [this] { ShowFrame(); });
  bar_timer_.setSingleShot(true);
  QObject::connect(&bar_timer_, &QTimer::timeout, [this] { SyncScrollBars(); });
  SyncScrollBars();
}

TrafficView::~TrafficView() = default;

bool TrafficView::HasFocus() const { return hasFocus() || dragging_ || scrolled_away_; }

void TrafficView::Repaint() {
  SyncScrollBars();
  viewport()->repaint();
}

std::string TrafficView::FontFamily() const { return font().family().toStdString(); }

double TrafficView::FontPointSize() const { return font().pointSizeF(); }

int TrafficView::PageLines() const { return std::max(viewport()->height() / LineHeight(), 1); }

int TrafficView::LineHeight() const { return line_height_; }

void TrafficView::FontChanged() {
  line_height_ = std::max(fontMetrics().lineSpacing(), 1);
  glyphs_ = std::make_unique<GlyphPainter>(font());
}

void TrafficView::Changed() {
  const qint64 since = since_frame_.isValid() ? since_frame_.elapsed() : kFrameMs;
  if (since >= kFrameMs) {
    frame_timer_.stop();
    ShowFrame();
  } else if (!frame_timer_.isActive()) {
    frame_timer_.start(static_cast<int>(kFrameMs - since) + kCatchUpMs);
  }
}

void TrafficView::ShowFrame() {
  since_frame_.start();
  viewport()->update();
  // While the view follows a busy port its scroll bars would change at every frame; a few
  // times a second is enough there. A reader sees them move with the text.
  const int since_sync = static_cast<int>(since_bar_sync_.elapsed());
  if (HasFocus() || since_sync >= kBarSyncMs) {
    SyncScrollBars();
  } else if (!bar_timer_.isActive()) {
    bar_timer_.start(kBarSyncMs - since_sync);
  }
}

void TrafficView::SyncScrollBars() {
  bar_timer_.stop();
  since_bar_sync_.start();
  syncing_ = true;
  QScrollBar& vertical = *verticalScrollBar();
  vertical.setRange(0, LastScrollableLine());
  vertical.setPageStep(PageLines());
  vertical.setValue(FirstVisibleLine());
  const int char_width = std::max(qRound(glyphs_->Advance(u"M")), 1);
  const int width = Lines().LongestLine() * char_width + 2 * kMargin;
  QScrollBar& horizontal = *horizontalScrollBar();
  horizontal.setRange(0, std::max(width - viewport()->width(), 0));
  horizontal.setPageStep(viewport()->width());
  horizontal.setSingleStep(char_width);
  syncing_ = false;
}

void TrafficView::scrollContentsBy(int, int dy) {
  if (syncing_) return;
  if (dy != 0) {
    // The user moved the view: away from the newest lines it stays where they put it.
    const QScrollBar& vertical = *verticalScrollBar();
    scrolled_away_ = vertical.value() < vertical.maximum();
    ScrollTo(scrolled_away_ ? vertical.value() : LastScrollableLine());
  }
  viewport()->update();
}

void TrafficView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (!HasFocus()) ScrollTo(LastScrollableLine());
  SyncScrollBars();
}

void TrafficView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    FontChanged();
    if (!HasFocus()) ScrollTo(LastScrollableLine());
    SyncScrollBars();
  }
}

void TrafficView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const QRect area = event->rect();
  const QColor background = palette().color(QPalette::Base);
  const int top = FirstVisibleLine();
  const int last = std::min(LineCount() - 1, top + (area.bottom() + 1) / height);
  int y = (area.top() / height) * height;
  for (int line = top + area.top() / height; line <= last; ++line, y += height) {
    painter.fillRect(area.left(), y, area.width(), height, background);
    DrawLine(painter, line, y);
  }
  for (; y <= area.bottom(); y += height) {
    painter.fillRect(area.left(), y, area.width(), height, background);
  }
}

// Each colour run is drawn as one piece of text; the selected part of it in the palette's
// highlight.
void TrafficView::DrawLine(QPainter& painter, int line, int y) const {
  const TrafficLine& stored = Lines().Line(line);
  const QStringView text = TextOf(stored);
  const int length = static_cast<int>(text.size());
  const int baseline = y + fontMetrics().ascent();
  const TextSelection selection = Selection();
  const int line_start = LineStart(line);
  const int selected_from = std::clamp(selection.start - line_start, 0, length + 1);
  const int selected_to = std::clamp(selection.end - line_start, 0, length + 1);
  const QPalette& colors = palette();
  if (selected_from < selected_to) {
    const int left = XOf(line, selected_from);
    // A selected line break shows as one character's width.
    const int right = selected_to > length ? XOf(line, length) + qRound(glyphs_->Advance(u" "))
                                           : XOf(line, selected_to);
    painter.fillRect(left, y, right - left, LineHeight(), colors.color(QPalette::Highlight));
  }
  qreal x = XOf(line, 0);
  int column = 0;
  for (const LineRun& run : stored.runs) {
    const QColor run_color = ToQColor(run.color);
    while (column < run.end) {
      // Split where the selection starts or ends.
      const bool selected = column >= selected_from && column < selected_to;
      int end = run.end;
      if (column < selected_from) end = std::min(end, selected_from);
      if (selected) end = std::min(end, selected_to);
      painter.setPen(selected              ? colors.color(QPalette::HighlightedText)
                     : run_color.isValid() ? run_color
                                           : colors.color(QPalette::Text));
      x += glyphs_->Draw(painter, x, baseline, text.sliced(column, end - column), run.underline);
      column = end;
    }
  }
  if (hasFocus() && Caret() >= line_start && Caret() <= line_start + length) {
    const int caret_x = XOf(line, Caret() - line_start);
    painter.setPen(colors.color(QPalette::Text));
    painter.drawLine(caret_x, y, caret_x, y + LineHeight() - 1);
  }
}

int TrafficView::XOf(int line, int column) const {
  const QStringView text = TextOf(Lines().Line(line));
  return kMargin - horizontalScrollBar()->value() + qRound(glyphs_->Advance(text.first(column)));
}

int TrafficView::ColumnAt(int line, int x) const {
  const QStringView text = TextOf(Lines().Line(line));
  qreal left = XOf(line, 0);
  for (int column = 0; column < text.size(); ++column) {
    const qreal width = glyphs_->Advance(text.sliced(column, 1));
    if (x < left + width / 2) return column;
    left += width;
  }
  return static_cast<int>(text.size());
}

int TrafficView::PositionAt(QPoint point) const {
  const int line = std::clamp(FirstVisibleLine() + point.y() / LineHeight(), 0, LineCount() - 1);
  if (point.y() < 0 && line == 0) return 0;
  return LineStart(line) + ColumnAt(line, point.x());
}

void TrafficView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const int position = PositionAt(event->position().toPoint());
  const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
  Select(extend ? Anchor() : position, position);
  dragging_ = true;
}

void TrafficView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const QPoint point = event->position().toPoint();
  // Dragging past the top or bottom edge scrolls a line at a time.
  if (point.y() < 0 || point.y() >= viewport()->height()) {
    ScrollTo(FirstVisibleLine() + (point.y() < 0 ? -1 : 1));
    scrolled_away_ = FirstVisibleLine() < LastScrollableLine();
  }
  Select(Anchor(), PositionAt(point));
}

void TrafficView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = false;
  ShareSelection();
}

void TrafficView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int position = PositionAt(event->position().toPoint());
  const int line = Lines().LineOf(position);
  const std::u16string& text = Lines().Line(line).text;
  const int line_start = LineStart(line);
  int from = position - line_start;
  int to = from;
  while (from > 0 && IsWordCharacter(text[static_cast<size_t>(from - 1)])) --from;
  while (to < static_cast<int>(text.size()) && IsWordCharacter(text[static_cast<size_t>(to)])) ++to;
  Select(line_start + from, line_start + to);
  ShareSelection();
}

void TrafficView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
  const bool whole_text = (event->modifiers() & Qt::ControlModifier) != 0;
  const int caret = Caret();
  const int line = Lines().LineOf(caret);
  const int column = caret - LineStart(line);
  auto in_line = [this](int target, int wanted_column) {
    const int target_line = std::clamp(target, 0, LineCount() - 1);
    const int length = static_cast<int>(Lines().Line(target_line).text.size());
    return LineStart(target_line) + std::min(wanted_column, length);
  };
  switch (event->key()) {
    case Qt::Key_Left:
      MoveCaret(caret - 1, extend);
      return;
    case Qt::Key_Right:
      MoveCaret(caret + 1, extend);
      return;
    case Qt::Key_Up:
      MoveCaret(in_line(line - 1, column), extend);
      return;
    case Qt::Key_Down:
      MoveCaret(in_line(line + 1, column), extend);
      return;
    case Qt::Key_PageUp:
      MoveCaret(in_line(line - PageLines(), column), extend);
      return;
    case Qt::Key_PageDown:
      MoveCaret(in_line(line + PageLines(), column), extend);
      return;
    case Qt::Key_Home:
      MoveCaret(whole_text ? 0 : LineStart(line), extend);
      return;
    case Qt::Key_End:
      MoveCaret(whole_text ? Length() : in_line(line, INT_MAX), extend);
      return;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

void TrafficView::MoveCaret(int caret, bool extend) {
  caret = std::clamp(caret, 0, Length());
  Select(extend ? Anchor() : caret, caret);
  const int line = Lines().LineOf(caret);
  if (line < FirstVisibleLine()) {
    ScrollTo(line);
  } else if (line >= FirstVisibleLine() + PageLines()) {
    ScrollTo(line - PageLines() + 1);
  }
  scrolled_away_ = FirstVisibleLine() < LastScrollableLine();
  if (extend) ShareSelection();
}

void TrafficView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QStringLiteral("Copy"), [this] { CopySelection(); });
  copy->setShortcut(QKeySequence::Copy);
  copy->setEnabled(Selection().start != Selection().end);
  QAction* select_all = menu.addAction(QStringLiteral("Select All"), [this] { SelectAll(); });
  select_all->setShortcut(QKeySequence::SelectAll);
  if (on_clear_) {
    menu.addSeparator();
    menu.addAction(QStringLiteral("Clear"), [this] { on_clear_(); });
  }
  menu.exec(event->globalPos());
}

void TrafficView::CopySelection() const {
  const TextSelection selection = Selection();
  if (selection.start == selection.end) return;
  QGuiApplication::clipboard()->setText(
      QString::fromStdString(Lines().Text(selection.start, selection.end)));
}

void TrafficView::SelectAll() {
  Select(0, Length());
  ShareSelection();
}

// X11 users paste the selected text with the middle button.
void TrafficView::ShareSelection() const {
  QClipboard& clipboard = *QGuiApplication::clipboard();
  const TextSelection selection = Selection();
  if (!clipboard.supportsSelection() || selection.start == selection.end) return;
  clipboard.setText(QString::fromStdString(Lines().Text(selection.start, selection.end)),
                    QClipboard::Selection);
}

}  // namespace kestrova
