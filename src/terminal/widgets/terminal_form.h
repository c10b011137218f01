// The terminal's window: the coloured traffic view, the send line with its history, the hex
// line, the send buttons, the mode group and the timing fields. It floats as a tool window of
// its owner form or docks into a page control; the VMurTerminal it belongs to decides what
// the controls do.
#pragma once

#include <QPointer>
#include <QTabWidget>
#include <QWidget>
#include <vector>

#include "terminal/terminal_layout.h"
#include "terminal/terminal_window.h"
#include "terminal/widgets/traffic_view.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace kestrova {

class VMurTerminal;
enum class KeyPlace;

class TerminalForm : public QWidget, public TerminalWindow {
  Q_OBJECT

 public:
  // Builds the window, hidden, and attaches it to `terminal`, which owns it from then on.
  // `owner_form` (may be null) is the form holding the terminal: the floating window stays
  // with it and takes its font.
  TerminalForm(VMurTerminal& terminal, QWidget* owner_form);
  ~TerminalForm() override;

  // The dock site (ParentPageControl); the window docks into it while the terminal's Docked is
  // set. Null floats the window.
  QTabWidget* ParentPageControl() const { return page_control_; }
  void SetParentPageControl(QTabWidget* page_control);

  QComboBox* ManualLine() const { return manual_line_; }
  QLineEdit* HexManualLine() const { return hex_manual_line_; }
  QPushButton* SendButton() const { return send_button_; }
  QPushButton* DirectButton() const { return direct_button_; }
  QPushButton* ClearButton() const { return clear_button_; }
  QPushButton* UndockButton() const { return undock_button_; }
  QGroupBox* ModeGroup() const { return mode_group_; }
  QLineEdit* DebugInTime() const { return debug_in_time_; }
  QLineEdit* DebugOutTime() const { return debug_out_time_; }
  TrafficView* RichEdit() const { return rich_edit_; }

  RichView& View() override { return *rich_edit_; }
  void SetControlNames(const std::string& prefix) override;
  void SetCaption(const std::string& caption) override;
  bool IsShown() const override;
  void SetShown(bool shown) override;
  void ApplyDocking(bool docked) override;
  bool IsDocked() const override;
  Rect UndockedGeometry() const override;
  void SetUndockedGeometry(const Rect& rect) override;
  void FitToScreen() override;
  void SetStayOnTop(bool on_top) override;
  void SetOwnTaskbarButton(bool own) override;
  void SetShowHexEdit(bool show) override;
  void SetDebugWindowsVisible(bool visible) override;
  void ShowTiming(bool outgoing, const std::string& text) override;
  void SetModeItems(const std::vector<std::string>& items) override;
  void SetModeIndex(int index) override;
  void ShowSendLine(std::string_view bytes) override;
  void ShowHexLine(std::string_view text) override;
  void ShowHistory(const std::vector<std::string>& entries) override;
  void CloseHistoryDropDown() override;
  void CopyOwnerFont() override;
  void SetViewFont(const std::string& family) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void ConnectControls();
  // What the controls need in the window's font.
  TerminalControlSizes ControlSizes() const;
  void LayOut();
  // Whether `widget` is this window or inside it (its history list included).
  bool Holds(const QWidget* widget) const;
  KeyPlace PlaceOf(const QObject* watched) const;
  bool HandleKey(QObject* watched, QKeyEvent& event);
  bool HandleHistoryListKey(QKeyEvent& event);
  void ScrollView(int action);
  void ApplyFloatingStyle();
  void RememberUndockedGeometry();
  void MinimizeFromClose();

  VMurTerminal* terminal_;
  QPointer<QWidget> owner_form_;
  QPointer<QTabWidget> page_control_;
  QPointer<QTabWidget> docked_in_;

  TrafficView* rich_edit_;
  QComboBox* manual_line_;
  QLineEdit* hex_manual_line_;
  QPushButton* send_button_;
  QPushButton* direct_button_;
  QPushButton* clear_button_;
  QPushButton* undock_button_;
  QGroupBox* mode_group_;
  QButtonGroup* mode_buttons_;
  QLineEdit* debug_in_time_;
  QLineEdit* debug_out_time_;

  bool show_hex_edit_ = false;
  int mode_count_ = 0;
  bool stay_on_top_ = false;
  bool own_taskbar_button_ = false;
  // Minimised by the close button without a taskbar button of its own: it gets one until it
  // is restored, or the user could not bring it back.
  bool minimized_from_close_ = false;
  Rect undocked_geometry_;
};

}  // namespace kestrova
