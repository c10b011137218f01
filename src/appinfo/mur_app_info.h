// VMurAppInfo: the application's identity and settings component. It names where all settings
// live (RegistryPath + AppName below the root keys), reads and writes values by section, and
// runs the main form's start-up sequence (splash form, "application running" notification,
// the owner form's first show).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "appinfo/registry_ini_file.h"
#include "platform/message_loop.h"
#include "platform/reg_value.h"
#include "util/component.h"

namespace kestrova {

class AppInfoGui;
class TFileVersionInfo;
class Timer;

class VMurAppInfo : public Component {
 public:
  using NotifyEvent = std::function<void(Object* sender)>;

  // The start-up timer runs on `loop`, or on MainLoop() when none is given.
  explicit VMurAppInfo(Component* owner, MessageLoop* loop = nullptr);
  ~VMurAppInfo() override;

  const std::string& AppName() const { return app_name_; }
  void SetAppName(std::string name) { app_name_ = std::move(name); }
  // Always ends in a backslash: one is appended when the value given lacks it.
  const std::string& RegistryPath() const { return registry_path_; }
  void SetRegistryPath(std::string path);
  bool InhibitApplRunning() const { return inhibit_appl_running_; }
  void SetInhibitApplRunning(bool inhibit) { inhibit_appl_running_ = inhibit; }
  bool ResizeNonresizeable() const { return resize_nonresizeable_; }
  void SetResizeNonresizeable(bool resize) { resize_nonresizeable_ = resize; }
  const std::string& SplashFormClass() const { return splash_form_class_; }
  void SetSplashFormClass(std::string name) { splash_form_class_ = std::move(name); }
  bool MainVisible() const { return main_visible_; }
  void SetMainVisible(bool visible) { main_visible_ = visible; }
  bool SplashVisible() const { return splash_visible_; }
  void SetSplashVisible(bool visible) { splash_visible_ = visible; }
  uint32_t SplashMinTime() const { return splash_min_time_ms_; }
  void SetSplashMinTime(uint32_t milliseconds) { splash_min_time_ms_ = milliseconds; }
  // Names of forms that placement saving and restoring leave alone.
  const std::vector<std::string>& ExceptionList() const { return exception_list_; }
  void SetExceptionList(std::vector<std::string> names) { exception_list_ = std::move(names); }
  bool InExceptionList(std::string_view form_name) const;
  std::chrono::system_clock::time_point SourceLastModified() const { return source_modified_; }
  void SetSourceLastModified(std::chrono::system_clock::time_point when) {
    source_modified_ = when;
  }
  const NotifyEvent& OnApplRunning() const { return on_appl_running_; }
  void SetOnApplRunning(NotifyEvent handler) { on_appl_running_ = std::move(handler); }
  const NotifyEvent& OnOwnerFirstShow() const { return on_owner_first_show_; }
  void SetOnOwnerFirstShow(NotifyEvent handler) { on_owner_first_show_ = std::move(handler); }

  // The version strings of the running program, read at construction.
  TFileVersionInfo* VersionInfo() const { return version_info_; }

  // The GUI side of the start-up sequence and of form placement; set before Loaded().
  void SetGui(AppInfoGui* gui) { gui_ = gui; }

  // "\" + RegistryPath + AppName + "\" + section: the key of a section below a root key.
  std::string SectionKey(std::string_view section) const;

  // Reads consult HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER; each value found replaces the
  // result, so a per-user value wins. They never fail: the default stays when nothing fits.
  int ReadInteger(std::string_view section, std::string_view name, int default_value) const;
  std::string ReadString(std::string_view section, std::string_view name,
                         std::string_view default_value) const;
  // Writes go to HKEY_CURRENT_USER (failure raises ERegistryException), then to
  // HKEY_LOCAL_MACHINE, where failure (usually missing rights) is ignored.
  void WriteInteger(std::string_view section, std::string_view name, int value);
  void WriteString(std::string_view section, std::string_view name, std::string_view value);

  // The ini-file view of the key "\" + RegistryPath + AppName + "\" + subkey under
  // HKEY_CURRENT_USER, as form placement and the terminal history use it.
  RegistryIniFile IniFile(std::string_view subkey) const;

  // Form placement under "Options\Forms" (through the GUI; nothing without one). Forms whose
  // name stands between two "|" in `except_names` are not saved but keep their z-order place.
  void SaveForms(std::string_view except_names = {});
  void RestoreForms();

  // True once the start-up timer has been released.
  bool StartupOver() const { return startup_timer_ == nullptr; }

  // Hooks the owner form's first show and creates the splash form. Raises Exception when the
  // splash form class is not registered.
  void Loaded() override;

 private:
  void WriteValue(std::string_view section, std::string_view name, const RegValue& value);
  void StartupTick();
  void EndSplash();
  void ReleaseStartupTimer();

  std::string app_name_ = "[Unknown]";
  std::string registry_path_ = "Software\\MUR s.r.o.\\";
  bool inhibit_appl_running_ = false;
  bool resize_nonresizeable_ = false;
  std::string splash_form_class_;
  bool main_visible_ = true;
  bool splash_visible_ = true;
  uint32_t splash_min_time_ms_ = 0;
  std::vector<std::string> exception_list_;
  std::chrono::system_clock::time_point source_modified_{};
  NotifyEvent on_appl_running_;
  NotifyEvent on_owner_first_show_;

  TFileVersionInfo* version_info_;  // owned as a component
  AppInfoGui* gui_ = nullptr;
  std::shared_ptr<bool> alive_;  // the GUI's first-show callback may outlive this component
  Timer* startup_timer_;         // owned as a component; null once released
  bool splash_created_ = false;
  uint32_t splash_start_ = 0;
  bool appl_running_raised_ = false;
};

}  // namespace kestrova
