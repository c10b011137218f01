#include "appinfo/widgets/form_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <string>
#include <vector>

#include "appinfo/form_placement_rules.h"
#include "appinfo/mur_app_info.h"
#include "appinfo/registry_ini_file.h"
#include "appinfo/widgets/fix_pixels_per_inch.h"
#include "appinfo/widgets/form_list.h"
#include "appinfo/widgets/window_stacking.h"
#include "util/ascii.h"
#include "util/screen_fit.h"

namespace kestrova {
namespace {

constexpr std::string_view kFormsSubkey = "Options\\Forms";
constexpr Qt::WindowStates kSpecialStates =
    Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

std::string NameOf(const QWidget* form) { return form->objectName().toStdString(); }

PlacementState StateOf(const QWidget* form) {
  if (IsDocked(form)) return PlacementState::kNormal;
  Qt::WindowStates states = form->windowState();
  if (states & Qt::WindowMinimized) return PlacementState::kMinimized;
  if (states & Qt::WindowMaximized) return PlacementState::kMaximized;
  return PlacementState::kNormal;
}

Qt::WindowStates WindowStatesOf(PlacementState state) {
  switch (state) {
    case PlacementState::kMinimized:
      return Qt::WindowMinimized;
    case PlacementState::kMaximized:
      return Qt::WindowMaximized;
    case PlacementState::kNormal:
      break;
  }
  return Qt::WindowNoState;
}

QRect NormalRect(const QWidget* form) {
  QRect rect = form->normalGeometry();
  return rect.isValid() ? rect : form->geometry();
}

Rect ToPlacement(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// Forms topmost first: those with a window by stacking order, then the others as collected.
QList<QWidget*> StackingOrder(const QList<QWidget*>& forms) {
  QList<QWidget*> windowed;
  QList<QWidget*> others;
  for (QWidget* form : forms)
    (!IsDocked(form) && HasWindow(form) ? windowed : others).push_back(form);
  QList<QWidget*> ordered = WindowsTopFirst(windowed);
  ordered.append(others);
  return ordered;
}

std::vector<std::string> Names(const QList<QWidget*>& forms) {
  std::vector<std::string> names;
  for (const QWidget* form : forms) names.push_back(NameOf(form));
  return names;
}

void WriteRect(RegistryIniFile& ini, const std::string& name, const QWidget* form, QRect rect) {
  if (IsDocked(form)) {
    QSize size = UndockedSize(form);
    rect = QRect(rect.topLeft(), size);
  } else {
    ini.WriteInteger(name, "Left", rect.x());
    ini.WriteInteger(name, "Top", rect.y());
  }
  ini.WriteInteger(name, "Width", rect.width());
  ini.WriteInteger(name, "Height", rect.height());
}

void SaveForm(RegistryIniFile& ini, const QWidget* form) {
  std::string name = NameOf(form);
  ini.WriteInteger(name, "Visible", form->isVisible() ? -1 : 0);
  PlacementState state = StateOf(form);
  ini.WriteInteger(name, "WindowState", ShowCommandOf(state));
  if (HasWindow(form)) {
    ini.WriteInteger(name, "MinLeft", -1);
    ini.WriteInteger(name, "MinTop", -1);
    bool maximized = state == PlacementState::kMaximized;
    ini.WriteInteger(name, "MaxLeft", maximized ? form->frameGeometry().x() : -1);
    ini.WriteInteger(name, "MaxTop", maximized ? form->frameGeometry().y() : -1);
    WriteRect(ini, name, form, NormalRect(form));
    return;
  }
  // Never shown: only what its window state says is known.
  if (state == PlacementState::kMinimized) {
    ini.WriteInteger(name, "MinLeft", form->x());
    ini.WriteInteger(name, "MinTop", form->y());
  } else if (state == PlacementState::kMaximized) {
    ini.WriteInteger(name, "MaxLeft", form->x());
    ini.WriteInteger(name, "MaxTop", form->y());
  } else {
    WriteRect(ini, name, form, form->geometry());
  }
}

bool OnSomeScreen(const Rect& r) {
  QRect rect(r.left, r.top, r.width, r.height);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(rect)) return true;
  }
  return false;
}

void RestoreForm(const RegistryIniFile& ini, QWidget* form, const VMurAppInfo& info) {
  FixPixelsPerInch(form);
  bool docked = IsDocked(form);
  std::string name = NameOf(form);
  bool shown_now = form->isVisible();
  bool visible = ini.ReadInteger(name, "Visible", shown_now ? -1 : 0) != 0 &&
                 (info.StartupOver() || shown_now);
  if (!visible) form->hide();

  bool saved_before = ini.ValueExists(name, "WindowState");
  int show_command = ini.ReadInteger(name, "WindowState", ShowCommandOf(StateOf(form)));
  QRect current = docked ? QRect(QPoint(), UndockedSize(form)) : NormalRect(form);
  Rect rect = ToPlacement(current);
  bool all = info.ResizeNonresizeable();
  bool bordered = !(form->windowFlags() & Qt::FramelessWindowHint);
  bool sizeable = form->minimumSize() != form->maximumSize();
  if (all || bordered) {
    rect.left = ini.ReadInteger(name, "Left", rect.left);
    rect.top = ini.ReadInteger(name, "Top", rect.top);
  }
  if (all || sizeable) {
    // A size of nothing is no size a user left a window at.
    int width = ini.ReadInteger(name, "Width", rect.width);
    int height = ini.ReadInteger(name, "Height", rect.height);
    if (width > 0 && height > 0) {
      rect.width = width;
      rect.height = height;
    }
  }
  // A form never saved, or saved on a screen that is gone, is fitted to the primary screen.
  if (QScreen* primary = QGuiApplication::primaryScreen();
      primary != nullptr && (!saved_before || (!docked && !OnSomeScreen(rect)))) {
    rect = FitRectToArea(rect, ToPlacement(primary->availableGeometry()));
  }

  if (docked) {
    if (all || sizeable) SetUndockedSize(form, QSize(rect.width, rect.height));
    return;
  }
  PlacementState target = StateOfShowCommand(show_command);
  // A window maximised on screen keeps the normal rectangle its window manager holds; taking it
  // out of that state and back would only flicker.
  bool stays_maximized = form->isVisible() && (form->windowState() & Qt::WindowMaximized) &&
                         target == PlacementState::kMaximized;
  if (!stays_maximized) {
    // Back to the normal state first, so that the rectangle becomes the normal one.
    if (form->windowState() & kSpecialStates) {
      form->setWindowState(form->windowState() & ~kSpecialStates);
    }
    // Qt holds a fixed-size window to its size; asked to size those too, the fixed size moves.
    if (!sizeable && all) form->setFixedSize(rect.width, rect.height);
    form->setGeometry(rect.left, rect.top, rect.width, rect.height);
    // A hidden window passes its widget's geometry on only when shown; the state set below
    // remembers the window's normal rectangle now.
    if (!form->isVisible() && form->windowHandle() != nullptr) {
      form->windowHandle()->setGeometry(rect.left, rect.top, rect.width, rect.height);
    }
    form->setWindowState(WindowStatesOf(target));
  }
  if (visible) {
    form->show();
    form->raise();
  }
}

}  // namespace

void SaveFormPlacement(const VMurAppInfo& info, std::string_view except_names) {
  QList<QWidget*> forms = CollectForms(info);
  RegistryIniFile ini = info.IniFile(kFormsSubkey);
  ini.BeginUpdate();
  ini.WriteString("", "ZOrder", JoinZOrder(Names(StackingOrder(forms))));
  for (const QWidget* form : forms) {
    if (!NameExcepted(except_names, NameOf(form))) SaveForm(ini, form);
  }
  ini.EndUpdate();
}

void RestoreFormPlacement(const VMurAppInfo& info) {
  QList<QWidget*> forms = CollectForms(info);
  RegistryIniFile ini = info.IniFile(kFormsSubkey);
  QList<QWidget*> windowed;
  QList<QWidget*> without;
  for (QWidget* form : forms)
    (!IsDocked(form) && HasWindow(form) ? windowed : without).push_back(form);
  std::vector<std::string> order =
      ZOrderForRestore(SplitZOrder(ini.ReadString("", "ZOrder", "")),
                       Names(WindowsTopFirst(windowed)), Names(without));
  QList<QWidget*> sequence;
  for (const std::string& name : order) {
    for (QWidget* form : forms) {
      if (EqualsIgnoringAsciiCase(NameOf(form), name) && !sequence.contains(form)) {
        sequence.push_back(form);
        break;
      }
    }
  }
  // Forms sharing a name with another one come last.
  for (QWidget* form : forms) {
    if (!sequence.contains(form)) sequence.push_back(form);
  }
  for (auto it = sequence.rbegin(); it != sequence.rend(); ++it) RestoreForm(ini, *it, info);
}

}  // namespace kestrova
