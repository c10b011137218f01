#include "terminal/mur_terminal.h"

#include <algorithm>
#include <utility>

#include "appinfo/mur_app_info.h"
#include "appinfo/registry_ini_file.h"
#include "terminal/byte_text.h"
#include "util/exception.h"
#include "util/hex.h"

namespace kestrova {

VMurTerminal::VMurTerminal(Component* owner) : Component(owner), output_(nullptr) {
  output_.SetOnTiming([this](bool outgoing, uint32_t elapsed_ms) {
    // The fields are hidden unless debugging; filling them per piece would cost a fast port.
    if (window_ != nullptr && output_.DebugWindowsVisible()) {
      window_->ShowTiming(outgoing, std::to_string(elapsed_ms));
    }
  });
}

VMurTerminal::~VMurTerminal() {
  SaveHistory();
  if (TerminalWindow* window = std::exchange(window_, nullptr)) {
    output_.SetView(nullptr);
    delete window;
  }
}

void VMurTerminal::AttachWindow(TerminalWindow* window) {
  if (window == window_) return;
  if (window_ != nullptr) delete std::exchange(window_, nullptr);
  window_ = window;
  output_.SetView(window_ != nullptr ? &window_->View() : nullptr);
  if (window_ == nullptr) return;
  window_->SetControlNames(Name());
  window_->SetUndockedGeometry(form_rect_);
  window_->SetStayOnTop(form_on_top_);
  window_->SetShowHexEdit(show_hex_edit_);
  window_->SetDebugWindowsVisible(output_.DebugWindowsVisible());
  window_->SetModeItems(mode_items_);
  window_->SetModeIndex(mode_index_);
  window_->ShowHistory(history_.Entries());
  ShowLines();
}

void VMurTerminal::DetachWindow(TerminalWindow* window) {
  if (window == nullptr || window != window_) return;
  window_ = nullptr;
  output_.SetView(nullptr);
}

void VMurTerminal::SetName(std::string name) {
  Component::SetName(std::move(name));
  if (window_ != nullptr) window_->SetControlNames(Name());
}

void VMurTerminal::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (window_ != nullptr) window_->SetCaption(caption_);
}

void VMurTerminal::SetMurAppInfo(VMurAppInfo* app_info) {
  if (mur_app_info_ != nullptr) mur_app_info_->RemoveFreeNotification(this);
  mur_app_info_ = app_info;
  if (mur_app_info_ != nullptr) mur_app_info_->FreeNotification(this);
}

void VMurTerminal::Notification(Component* component, Operation operation) {
  Component::Notification(component, operation);
  if (operation == Operation::kRemove && component == mur_app_info_) mur_app_info_ = nullptr;
}

void VMurTerminal::SetDebugWindowsVisible(bool visible) {
  output_.SetDebugWindowsVisible(visible);
  if (window_ != nullptr) window_->SetDebugWindowsVisible(visible);
}

bool VMurTerminal::Docked() const { return window_ != nullptr ? window_->IsDocked() : docked_; }

void VMurTerminal::SetDocked(bool docked) {
  docked_ = docked;
  if (window_ != nullptr && !Loading()) window_->ApplyDocking(docked_);
}

void VMurTerminal::DockSiteChanged() { SetDocked(docked_); }

bool VMurTerminal::Visible() const {
  return window_ != nullptr && !Loading() ? window_->IsShown() : visible_;
}

void VMurTerminal::SetVisible(bool visible) {
  visible_ = visible;
  if (window_ != nullptr && !Loading()) window_->SetShown(visible_);
}

Rect VMurTerminal::FloatingRect() const {
  return window_ != nullptr ? window_->UndockedGeometry() : form_rect_;
}

void VMurTerminal::SetFloatingRect(const Rect& rect) {
  form_rect_ = rect;
  if (window_ != nullptr) window_->SetUndockedGeometry(form_rect_);
}

void VMurTerminal::SetFormLeft(int left) {
  Rect rect = FloatingRect();
  rect.left = left;
  SetFloatingRect(rect);
}

void VMurTerminal::SetFormTop(int top) {
  Rect rect = FloatingRect();
  rect.top = top;
  SetFloatingRect(rect);
}

void VMurTerminal::SetFormWidth(int width) {
  Rect rect = FloatingRect();
  rect.width = width;
  SetFloatingRect(rect);
}

void VMurTerminal::SetFormHeight(int height) {
  Rect rect = FloatingRect();
  rect.height = height;
  SetFloatingRect(rect);
}

void VMurTerminal::SetModeIndex(int index) {
  const int last = static_cast<int>(mode_items_.size()) - 1;
  mode_index_ = std::max(std::min(index, last), -1);
  if (window_ != nullptr) window_->SetModeIndex(mode_index_);
}

void VMurTerminal::SetModeItems(std::vector<std::string> items) {
  mode_items_ = std::move(items);
  if (window_ != nullptr) window_->SetModeItems(mode_items_);
  SetModeIndex(mode_index_ < 0 ? 0 : mode_index_);
}

void VMurTerminal::SetShowOnTaskbar(bool show) {
  show_on_taskbar_ = show;
  if (window_ != nullptr && !Loading() && !Destroying()) window_->SetOwnTaskbarButton(show);
}

void VMurTerminal::SetShowHexEdit(bool show) {
  show_hex_edit_ = show;
  if (window_ != nullptr) window_->SetShowHexEdit(show);
}

void VMurTerminal::SetShowTimes(bool show) {
  const VMurTerminalShowOptions options = output_.ShowOptions();
  output_.SetShowOptions(show ? options | vstsoShowTimes : options & ~unsigned{vstsoShowTimes});
}

void VMurTerminal::SetFormOnTop(bool on_top) {
  form_on_top_ = on_top;
  if (window_ != nullptr) window_->SetStayOnTop(on_top);
}

void VMurTerminal::ShowLines() {
  if (window_ == nullptr) return;
  window_->ShowSendLine(send_line_);
  window_->ShowHexLine(hex_line_);
}

void VMurTerminal::SendLineEdited(std::string bytes) {
  send_line_ = std::move(bytes);
  hex_line_ = BytesToHex(send_line_);
  ShowLines();
}

void VMurTerminal::HexLineEdited(std::string text) {
  hex_line_ = std::move(text);
  send_line_ = HexToBytes(hex_line_);
  ShowLines();
}

void VMurTerminal::Send(char terminator) {
  if (history_.Remember(send_line_)) {
    history_saved_ = false;
    if (window_ != nullptr) window_->ShowHistory(history_.Entries());
  }
  if (on_term_send_data_) {
    std::string data = HexToBytes(hex_line_);
    data.push_back(terminator);
    on_term_send_data_(this, data, true);
  }
  HexLineEdited(std::string());
}

void VMurTerminal::SendDirect() {
  if (on_term_send_data_) on_term_send_data_(this, HexToBytes(hex_line_), false);
  HexLineEdited(std::string());
}

CharKeyAction VMurTerminal::CharKey(KeyPlace place, std::string_view typed,
                                    bool history_dropped_down) {
  const CharKeyAction action = DecideCharKey(place, typed, history_dropped_down);
  switch (action) {
    case CharKeyAction::kNone:
      break;
    case CharKeyAction::kSend:
      if (window_ != nullptr) window_->CloseHistoryDropDown();
      Send('\r');
      break;
    case CharKeyAction::kSendCtrlZ:
      Send(26);
      break;
    case CharKeyAction::kSendEscape:
      Send(27);
      break;
    case CharKeyAction::kSendDirect:
      SendDirect();
      break;
    case CharKeyAction::kClearHexLine:
      HexLineEdited(std::string());
      break;
    case CharKeyAction::kBackspace: {
      std::string bytes = send_line_;
      RemoveLastCharacter(bytes);
      SendLineEdited(std::move(bytes));
      break;
    }
    case CharKeyAction::kAppend:
      SendLineEdited(send_line_ + std::string(typed));
      break;
  }
  return action;
}

TTermCloseAction VMurTerminal::CloseRequested() {
  if (term_close_action_ == trmcaDock) SetDocked(true);
  return term_close_action_;
}

void VMurTerminal::LoadHistory() {
  if (mur_app_info_ == nullptr || Name().empty()) return;
  try {
    history_.Load(mur_app_info_->IniFile(kHistoryKey), Name());
  } catch (const Exception&) {
    return;
  }
  history_saved_ = true;
  if (window_ != nullptr) window_->ShowHistory(history_.Entries());
}

void VMurTerminal::SaveHistory() {
  // Without a name the section would be the key that holds every terminal's history.
  if (history_saved_ || mur_app_info_ == nullptr || Name().empty()) return;
  try {
    RegistryIniFile file = mur_app_info_->IniFile(kHistoryKey);
    history_.Save(file, Name());
  } catch (const Exception&) {
    return;
  }
  history_saved_ = true;
}

void VMurTerminal::Loaded() {
  Component::Loaded();
  if (window_ != nullptr) {
    window_->SetUndockedGeometry(form_rect_);
    window_->ApplyDocking(docked_);
    window_->SetShown(visible_);
    if (show_on_taskbar_) window_->SetOwnTaskbarButton(true);
    window_->SetDebugWindowsVisible(output_.DebugWindowsVisible());
    window_->SetShowHexEdit(show_hex_edit_);
    SetModeIndex(mode_index_);
    window_->FitToScreen();
    window_->CopyOwnerFont();
    if (on_form_create_) on_form_create_(this, *window_, window_->View());
  }
  LoadHistory();
}

}  // namespace kestrova
