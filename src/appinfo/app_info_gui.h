// What the settings component needs from the GUI: the owner form's first show, the splash
// form, the main form's visibility and the placement of all forms. The Qt side implements it
// (appinfo/widgets/app_info_forms.h); without one the component runs headless.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrova {

class VMurAppInfo;

class AppInfoGui {
 public:
  virtual ~AppInfoGui() = default;

  // Calls `on_first_show` once, the first time the owner form is shown, before the form's own
  // handling of that show.
  virtual void WatchOwnerFirstShow(std::function<void()> on_first_show) = 0;

  // Creates a form of the registered form class `class_name` as the splash form, shows it at
  // once when `visible`, and keeps the application from showing its main form by itself.
  // False when no form class of that name is registered.
  virtual bool CreateSplash(const std::string& class_name, bool visible) = 0;
  // True while a splash form exists and is visible.
  virtual bool SplashShowing() const = 0;
  virtual void ReleaseSplash() = 0;
  virtual void SetMainFormVisible(bool visible) = 0;

  virtual void SaveForms(const VMurAppInfo& info, std::string_view except_names) = 0;
  virtual void RestoreForms(const VMurAppInfo& info) = 0;
};

}  // namespace kestrova
