// VMurTerminal: the terminal component. It holds the send line (kept equal to the hex line),
// its history, the mode and timing fields and the window's placement and style, and forwards
// the output operations to its TerminalOutput. The window is attached by the GUI; the
// component decides everything and the window shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/terminal_history.h"
#include "terminal/terminal_keys.h"
#include "terminal/terminal_output.h"
#include "terminal/terminal_window.h"
#include "util/component.h"

namespace kestrova {

class VMurAppInfo;

enum TTermCloseAction : uint8_t { trmcaDock, trmcaHide, trmcaFree, trmcaMinimize };

class VMurTerminal : public Component {
 public:
  // `data` ends with the terminator byte exactly when `includes_cr`.
  using TermSendDataEvent =
      std::function<void(Object* sender, const std::string& data, bool includes_cr)>;
  using TermWantModeChangeEvent = std::function<void(Object* sender, int mode_no)>;
  using FormCreateEvent =
      std::function<void(Object* sender, TerminalWindow& form, RichView& rich_edit)>;

  // The settings key below the store's application key that holds one section per terminal.
  static constexpr std::string_view kHistoryKey = "MurTerminalHistory";

  explicit VMurTerminal(Component* owner);
  // Stores a changed history, then frees the window, the log file and the logger.
  ~VMurTerminal() override;

  // The window's constructor attaches it; the component then owns it. A window that goes
  // first (its parent took it along, or it was closed with trmcaFree) detaches itself, and the
  // operations that need it do nothing from then on.
  void AttachWindow(TerminalWindow* window);
  void DetachWindow(TerminalWindow* window);
  TerminalWindow* Window() const { return window_; }

  // Renames the window's controls too.
  void SetName(std::string name) override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  VMurAppInfo* MurAppInfo() const { return mur_app_info_; }
  void SetMurAppInfo(VMurAppInfo* app_info);
  bool DebugWindowsVisible() const { return output_.DebugWindowsVisible(); }
  void SetDebugWindowsVisible(bool visible);
  // Whether the window is docked now; the wish until there is a window.
  bool Docked() const;
  void SetDocked(bool docked);
  // The window's real visibility; the wish until there is a window or while loading.
  bool Visible() const;
  void SetVisible(bool visible);
  bool IgnoreAddChars() const { return output_.IgnoreAddChars(); }
  void SetIgnoreAddChars(bool ignore) { output_.SetIgnoreAddChars(ignore); }
  // The floating placement: the window's own while it floats, else the stored one.
  int FormLeft() const { return FloatingRect().left; }
  void SetFormLeft(int left);
  int FormTop() const { return FloatingRect().top; }
  void SetFormTop(int top);
  int FormWidth() const { return FloatingRect().width; }
  void SetFormWidth(int width);
  int FormHeight() const { return FloatingRect().height; }
  void SetFormHeight(int height);
  // Clamped to -1 .. ModeItems().size() - 1.
  int ModeIndex() const { return mode_index_; }
  void SetModeIndex(int index);
  // Selects the first mode when none was selected.
  const std::vector<std::string>& ModeItems() const { return mode_items_; }
  void SetModeItems(std::vector<std::string> items);
  // Only values above 0 are taken.
  int MaxLines() const { return output_.MaxLines(); }
  void SetMaxLines(int lines) { output_.SetMaxLines(lines); }
  int MaxChars() const { return output_.MaxChars(); }
  void SetMaxChars(int chars) { output_.SetMaxChars(chars); }
  int MaxCharsPerLine() const { return output_.MaxCharsPerLine(); }
  void SetMaxCharsPerLine(int chars) { output_.SetMaxCharsPerLine(chars); }
  TTermCloseAction TermCloseAction() const { return term_close_action_; }
  void SetTermCloseAction(TTermCloseAction action) { term_close_action_ = action; }
  const TermSendDataEvent& OnTermSendData() const { return on_term_send_data_; }
  void SetOnTermSendData(TermSendDataEvent handler) { on_term_send_data_ = std::move(handler); }
  const TermWantModeChangeEvent& OnTermWantModeChange() const { return on_want_mode_change_; }
  void SetOnTermWantModeChange(TermWantModeChangeEvent handler) {
    on_want_mode_change_ = std::move(handler);
  }
  bool ShowOnTaskbar() const { return show_on_taskbar_; }
  void SetShowOnTaskbar(bool show);
  bool ShowHexEdit() const { return show_hex_edit_; }
  void SetShowHexEdit(bool show);
  const FormCreateEvent& OnFormCreate() const { return on_form_create_; }
  void SetOnFormCreate(FormCreateEvent handler) { on_form_create_ = std::move(handler); }
  VMurTerminalShowOptions ShowOptions() const { return output_.ShowOptions(); }
  void SetShowOptions(VMurTerminalShowOptions options) { output_.SetShowOptions(options); }
  // The Boolean of older stored forms: adds or removes vstsoShowTimes.
  void SetShowTimes(bool show);
  bool FormOnTop() const { return form_on_top_; }
  void SetFormOnTop(bool on_top);
  const std::string& LogFileName() const { return output_.LogFileName(); }
  void SetLogFileName(const std::string& name) { output_.SetLogFileName(name); }
  int64_t LogFileMaxLen() const { return output_.LogFileMaxLen(); }
  void SetLogFileMaxLen(int64_t bytes) { output_.SetLogFileMaxLen(bytes); }
  std::string LoggerFilename() const { return output_.LoggerFilename(); }
  void SetLoggerFilename(const std::string& name) { output_.SetLoggerFilename(name); }
  VMurLoggerNewFileStyle LoggerNamingStyle() const { return output_.LoggerNamingStyle(); }
  void SetLoggerNamingStyle(VMurLoggerNewFileStyle style) { output_.SetLoggerNamingStyle(style); }
  uint32_t LoggerOpenFlags() const { return output_.LoggerOpenFlags(); }
  void SetLoggerOpenFlags(uint32_t flags) { output_.SetLoggerOpenFlags(flags); }

  // The output operations.
  TerminalOutput& Output() { return output_; }
  void AddData(std::string_view data, VMurTerminal_LineType view_line_type,
               VMurTerminal_LineType log_line_type, bool raw) {
    output_.AddData(data, view_line_type, log_line_type, raw);
  }
  void AddText(std::string_view text, VMurTerminal_LineType line_type) {
    output_.AddText(text, line_type);
  }
  void AddLine(std::string_view text, VMurTerminal_LineType line_type) {
    output_.AddLine(text, line_type);
  }
  void EndLine() { output_.EndLine(); }
  void HighlightLine(TColor color) { output_.HighlightLine(color); }
  void Clear() { output_.Clear(); }
  void SaveToFile(const std::string& file_name, bool rich_text) {
    output_.SaveToFile(file_name, rich_text);
  }

  // The send line's bytes (typed text is UTF-8) and the hex line's text; each is the other's
  // conversion (BytesToHex one way, HexToBytes the other).
  const std::string& SendLineBytes() const { return send_line_; }
  const std::string& HexLineText() const { return hex_line_; }
  // The user changed the send line (typed, or picked a history entry) or the hex line.
  void SendLineEdited(std::string bytes);
  void HexLineEdited(std::string text);
  // "Odeslat": remembers the send line in the history and raises OnTermSendData with the hex
  // line's bytes and CR, then clears both lines.
  void SendLine() { Send('\r'); }
  // "Přímo": raises OnTermSendData with the hex line's bytes alone, then clears both lines.
  void SendDirect();
  // "Uvolnit okno".
  void Undock() { SetDocked(false); }
  // The window's dock site (ParentPageControl) was set: docking is applied again.
  void DockSiteChanged();
  // The user picked a mode in the group.
  void ModeChosen(int index) { mode_index_ = index; }

  // A key typed in the window; does what DecideCharKey says and returns it (kNone: the key is
  // the focused control's).
  CharKeyAction CharKey(KeyPlace place, std::string_view typed, bool history_dropped_down);
  // The user asked to close the window: returns what the window does. trmcaDock docks it and
  // keeps it open.
  TTermCloseAction CloseRequested();
  // The window lost the activation: a changed history is stored.
  void WindowDeactivated() { SaveHistory(); }

  const std::vector<std::string>& History() const { return history_.Entries(); }
  // The history under MurAppInfo's "MurTerminalHistory" key, section Name(); nothing without a
  // store or a name. Failures are ignored: the history is only a convenience, and a history
  // that could not be stored is tried again the next time.
  void LoadHistory();
  void SaveHistory();
  bool HistorySaved() const { return history_saved_; }

  // Places the window, applies docking, visibility and style, fits it to the screen, raises
  // OnFormCreate and loads the history.
  void Loaded() override;

 protected:
  void Notification(Component* component, Operation operation) override;

 private:
  void Send(char terminator);
  void ShowLines();
  Rect FloatingRect() const;
  void SetFloatingRect(const Rect& rect);

  TerminalOutput output_;
  TerminalWindow* window_ = nullptr;
  VMurAppInfo* mur_app_info_ = nullptr;

  std::string caption_ = "Terminal";
  bool docked_ = true;
  bool visible_ = false;
  Rect form_rect_{500, 300, 400, 450};
  int mode_index_ = -1;
  std::vector<std::string> mode_items_;
  TTermCloseAction term_close_action_ = trmcaDock;
  bool show_on_taskbar_ = false;
  bool show_hex_edit_ = false;
  bool form_on_top_ = false;
  TermSendDataEvent on_term_send_data_;
  TermWantModeChangeEvent on_want_mode_change_;
  FormCreateEvent on_form_create_;

  std::string send_line_;
  std::string hex_line_;
  TerminalHistory history_;
  bool history_saved_ = true;
};

}  // namespace kestrova
