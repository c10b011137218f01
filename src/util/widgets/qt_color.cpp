#include "util/widgets/qt_color.h"

#include <QGuiApplication>
#include <QPalette>

namespace kestrova {
namespace {

struct SystemRole {
  TColor color;
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

constexpr SystemRole kSystemRoles[] = {
    {clScrollBar, QPalette::Active, QPalette::Button},
    {clBackground, QPalette::Active, QPalette::Window},
    {clActiveCaption, QPalette::Active, QPalette::Highlight},
    {clInactiveCaption, QPalette::Active, QPalette::Mid},
    {clMenu, QPalette::Active, QPalette::Window},
    {clWindow, QPalette::Active, QPalette::Base},
    {clWindowFrame, QPalette::Active, QPalette::Shadow},
    {clMenuText, QPalette::Active, QPalette::WindowText},
    {clWindowText, QPalette::Active, QPalette::Text},
    {clCaptionText, QPalette::Active, QPalette::HighlightedText},
    {clActiveBorder, QPalette::Active, QPalette::Window},
    {clInactiveBorder, QPalette::Active, QPalette::Window},
    {clAppWorkSpace, QPalette::Active, QPalette::Dark},
    {clHighlight, QPalette::Active, QPalette::Highlight},
    {clHighlightText, QPalette::Active, QPalette::HighlightedText},
    {clBtnFace, QPalette::Active, QPalette::Button},
    {clBtnShadow, QPalette::Active, QPalette::Dark},
    {clGrayText, QPalette::Disabled, QPalette::Text},
    {clBtnText, QPalette::Active, QPalette::ButtonText},
    {clInactiveCaptionText, QPalette::Disabled, QPalette::WindowText},
    {clBtnHighlight, QPalette::Active, QPalette::Light},
    {cl3DDkShadow, QPalette::Active, QPalette::Shadow},
    {cl3DLight, QPalette::Active, QPalette::Midlight},
    {clInfoText, QPalette::Active, QPalette::ToolTipText},
    {clInfoBk, QPalette::Active, QPalette::ToolTipBase},
    {clHotLight, QPalette::Active, QPalette::Link},
    {clGradientActiveCaption, QPalette::Active, QPalette::Highlight},
    {clGradientInactiveCaption, QPalette::Active, QPalette::Mid},
    {clMenuHighlight, QPalette::Active, QPalette::Highlight},
    {clMenuBar, QPalette::Active, QPalette::Window},
};

}  // namespace

QColor ToQColor(TColor color) {
  if (IsSystemColor(color)) {
    for (const auto& system : kSystemRoles) {
      if (system.color == color) {
        return QGuiApplication::palette().color(system.group, system.role);
      }
    }
    return QColor();
  }
  if ((color & 0xFF000000u) != 0) return QColor();  // clNone, clDefault and other flags
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

}  // namespace kestrova
