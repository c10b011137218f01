// What the terminal component needs from its window. The Qt window implements it
// (terminal/widgets/terminal_form.h); without a window the terminal still sends, keeps its
// history and writes its log files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "terminal/rich_view.h"
#include "util/screen_fit.h"

namespace kestrova {

class TerminalWindow {
 public:
  virtual ~TerminalWindow() = default;

  // The view the output operations draw into.
  virtual RichView& View() = 0;

  // Names the window and its controls: `prefix` followed by "_Form", "_ManualLine", ...
  virtual void SetControlNames(const std::string& prefix) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual bool IsShown() const = 0;
  virtual void SetShown(bool shown) = 0;

  // Docks into the page control the window was given when `docked` and there is one (unless it
  // already sits there), floats at its undocked place otherwise.
  virtual void ApplyDocking(bool docked) = 0;
  virtual bool IsDocked() const = 0;
  // While floating the window's rectangle, while docked the one it floats at again.
  virtual Rect UndockedGeometry() const = 0;
  virtual void SetUndockedGeometry(const Rect& rect) = 0;
  // Fits the floating window into the work area of all monitors.
  virtual void FitToScreen() = 0;

  virtual void SetStayOnTop(bool on_top) = 0;
  // Whether the floating window has a taskbar button of its own.
  virtual void SetOwnTaskbarButton(bool own) = 0;
  virtual void SetShowHexEdit(bool show) = 0;
  virtual void SetDebugWindowsVisible(bool visible) = 0;
  // The milliseconds since the previous output, in the in or the out field.
  virtual void ShowTiming(bool outgoing, const std::string& text) = 0;

  virtual void SetModeItems(const std::vector<std::string>& items) = 0;
  // -1 clears the selection.
  virtual void SetModeIndex(int index) = 0;

  // The send line's bytes, the hex line's text and the history list as the terminal holds them;
  // showing them tells the terminal nothing back.
  virtual void ShowSendLine(std::string_view bytes) = 0;
  virtual void ShowHexLine(std::string_view text) = 0;
  virtual void ShowHistory(const std::vector<std::string>& entries) = 0;
  virtual void CloseHistoryDropDown() = 0;

  virtual void CopyOwnerFont() = 0;
  // The view's font: `family` where the system has it, else the system's fixed-pitch font.
  virtual void SetViewFont(const std::string& family) = 0;
};

}  // namespace kestrova
