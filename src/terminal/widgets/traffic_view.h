// The terminal's traffic view: a scroll area that draws only the lines in sight from a store of
// coloured lines, at most once per screen frame however fast traffic arrives, with mouse and
// keyboard selection, copying and a context menu.
#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QTimer>
#include <functional>
#include <memory>

#include "terminal/line_store_view.h"

namespace kestrova {

// The system's fixed-pitch font when it really is one, else the first fixed-pitch family.
QFont FixedPitchFont();

class GlyphPainter;

class TrafficView : public QAbstractScrollArea, public LineStoreView {
  Q_OBJECT
 public:
  explicit TrafficView(QWidget* parent = nullptr);
  ~TrafficView() override;

  // Someone is reading: the view has the focus, a selection is being dragged, or the user
  // scrolled away from the newest lines.
  bool HasFocus() const override;
  // Draws now, for a user who watches every piece arrive.
  void Repaint() override;
  std::string FontFamily() const override;
  double FontPointSize() const override;

  // What "Clear" in the context menu does; without it the menu has no "Clear".
  void SetOnClear(std::function<void()> handler) { on_clear_ = std::move(handler); }
  void CopySelection() const;
  void SelectAll();

 protected:
  int PageLines() const override;
  void Changed() override;

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void FontChanged();
  void ShowFrame();
  void SyncScrollBars();
  int LineHeight() const;
  int PositionAt(QPoint point) const;
  int ColumnAt(int line, int x) const;
  int XOf(int line, int column) const;
  void DrawLine(QPainter& painter, int line, int y) const;
  void MoveCaret(int caret, bool extend);
  void ShareSelection() const;

  QTimer frame_timer_;
  QTimer bar_timer_;  // brings the scroll bars up to date when a frame left them behind
  QElapsedTimer since_bar_sync_;
  QElapsedTimer since_frame_;
  std::unique_ptr<GlyphPainter> glyphs_;  // of the font
  std::function<void()> on_clear_;
  int line_height_;  // of the font, which every added line would otherwise ask for
  bool dragging_ = false;
  bool scrolled_away_ = false;  // by the user, from the newest lines
  bool syncing_ = false;        // the scroll bars are being set from the store, not by the user
};

}  // namespace kestrova
