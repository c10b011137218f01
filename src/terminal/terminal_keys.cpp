#include "terminal/terminal_keys.h"

namespace kestrova {
namespace {

constexpr char kEnter = '\r';
constexpr char kBackspace = '\b';
constexpr char kCtrlZ = 26;
constexpr char kEscape = 27;

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 32 || byte == 127;
}

}  // namespace

CharKeyAction DecideCharKey(KeyPlace place, std::string_view typed, bool history_dropped_down) {
  if (typed.empty() || place == KeyPlace::kOther) return CharKeyAction::kNone;
  const bool single = typed.size() == 1;
  if (place == KeyPlace::kHexLine) {
    if (single && typed[0] == kEscape) return CharKeyAction::kClearHexLine;
    if (single && typed[0] == kEnter) return CharKeyAction::kSendDirect;
    return CharKeyAction::kNone;
  }
  const bool on_button = place == KeyPlace::kSendButton || place == KeyPlace::kDirectButton;
  if (on_button && typed == " ") return CharKeyAction::kNone;
  if (single) {
    switch (typed[0]) {
      case kEnter:
        return CharKeyAction::kSend;
      case kCtrlZ:
        return CharKeyAction::kSendCtrlZ;
      case kEscape:
        return history_dropped_down ? CharKeyAction::kNone : CharKeyAction::kSendEscape;
      default:
        break;
    }
  }
  if (place == KeyPlace::kSendLine) return CharKeyAction::kNone;
  if (single && typed[0] == kBackspace) return CharKeyAction::kBackspace;
  if (IsControl(typed[0])) return CharKeyAction::kNone;
  return CharKeyAction::kAppend;
}

NavKeyAction DecideNavKey(KeyPlace place, NavKey key, bool with_modifiers) {
  if (with_modifiers) return NavKeyAction::kNone;
  switch (key) {
    case NavKey::kPageUp:
      return NavKeyAction::kScrollPageUp;
    case NavKey::kPageDown:
      return NavKeyAction::kScrollPageDown;
    case NavKey::kUp:
      return place == KeyPlace::kSendLine ? NavKeyAction::kDropDownHistory
                                          : NavKeyAction::kScrollLineUp;
    case NavKey::kDown:
      return place == KeyPlace::kSendLine ? NavKeyAction::kDropDownHistory
                                          : NavKeyAction::kScrollLineDown;
  }
  return NavKeyAction::kNone;
}

}  // namespace kestrova
