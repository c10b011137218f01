#include "terminal/widgets/key_input.h"

#include "terminal/widgets/edit_text.h"

namespace kestrova {

std::string TypedText(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return "\r";
    case Qt::Key_Escape:
      return "\x1b";
    case Qt::Key_Backspace:
      return "\b";
    default:
      break;
  }
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  if (event.key() == Qt::Key_Z && (modifiers & Qt::ControlModifier) &&
      !(modifiers & Qt::AltModifier)) {
    return "\x1a";
  }
  return FromEditText(event.text());
}

std::optional<NavKey> NavKeyOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_PageUp:
      return NavKey::kPageUp;
    case Qt::Key_PageDown:
      return NavKey::kPageDown;
    case Qt::Key_Up:
      return NavKey::kUp;
    case Qt::Key_Down:
      return NavKey::kDown;
    default:
      return std::nullopt;
  }
}

bool HasModifiers(const QKeyEvent& event) {
  return (event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                               Qt::MetaModifier)) != Qt::NoModifier;
}

}  // namespace kestrova
