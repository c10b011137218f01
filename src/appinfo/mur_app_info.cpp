#include "appinfo/mur_app_info.h"

#include <algorithm>
#include <memory>

#include "appinfo/app_info_gui.h"
#include "appinfo/registry_exception.h"
#include "appinfo/setting_values.h"
#include "appinfo/version_info.h"
#include "platform/registry.h"
#include "platform/tick.h"
#include "util/ascii.h"
#include "util/exception.h"
#include "util/tick_math.h"
#include "util/timer.h"

namespace kestrova {
namespace {

constexpr uint32_t kStartupTimerInterval = 1;

std::string SplashClassMissingText(const std::string& name) {
  return "Please add the following statement:\r\nRegisterClass(__classid(" + name +
         ")); or RegisterClass(" + name + ") {unit Classes}\r\nafter Application->Initialize";
}

template <typename Convert>
auto ReadSetting(const std::string& key, std::string_view name, Convert convert)
    -> decltype(convert(RegValue{})) {
  decltype(convert(RegValue{})) result;
  for (RegRoot root : {RegRoot::kLocalMachine, RegRoot::kCurrentUser}) {
    if (std::optional<RegValue> value = RegReadValue(root, key, name)) {
      if (auto converted = convert(*value)) result = std::move(converted);
    }
  }
  return result;
}

}  // namespace

VMurAppInfo::VMurAppInfo(Component* owner, MessageLoop* loop)
    : Component(owner),
      version_info_(new TFileVersionInfo(this)),
      alive_(std::make_shared<bool>(true)),
      startup_timer_(new Timer(this, loop)) {
  startup_timer_->SetInterval(kStartupTimerInterval);
  startup_timer_->SetOnTimer([this](Object*) { StartupTick(); });
}

VMurAppInfo::~VMurAppInfo() { DestroyComponents(); }

void VMurAppInfo::SetRegistryPath(std::string path) {
  if (!path.ends_with('\\')) path += '\\';
  registry_path_ = std::move(path);
}

bool VMurAppInfo::InExceptionList(std::string_view form_name) const {
  return std::any_of(exception_list_.begin(), exception_list_.end(), [&](const std::string& name) {
    return EqualsIgnoringAsciiCase(name, form_name);
  });
}

std::string VMurAppInfo::SectionKey(std::string_view section) const {
  return "\\" + registry_path_ + app_name_ + "\\" + std::string(section);
}

int VMurAppInfo::ReadInteger(std::string_view section, std::string_view name,
                             int default_value) const {
  return ReadSetting(SectionKey(section), name, SettingInteger).value_or(default_value);
}

std::string VMurAppInfo::ReadString(std::string_view section, std::string_view name,
                                    std::string_view default_value) const {
  return ReadSetting(SectionKey(section), name, SettingText).value_or(std::string(default_value));
}

void VMurAppInfo::WriteInteger(std::string_view section, std::string_view name, int value) {
  WriteValue(section, name, RegValue::Dword(static_cast<uint32_t>(value)));
}

void VMurAppInfo::WriteString(std::string_view section, std::string_view name,
                              std::string_view value) {
  WriteValue(section, name, RegValue::String(value));
}

void VMurAppInfo::WriteValue(std::string_view section, std::string_view name,
                             const RegValue& value) {
  std::string key = SectionKey(section);
  HiveResult user = RegWriteValue(RegRoot::kCurrentUser, key, name, value);
  if (!user.ok) {
    throw ERegistryException("Cannot store setting \"" + std::string(name) + "\" in section \"" +
                             std::string(section) + "\": " + user.error);
  }
  // Machine-wide values are written where the rights allow; elsewhere they stay as they are.
  RegWriteValue(RegRoot::kLocalMachine, key, name, value);
}

RegistryIniFile VMurAppInfo::IniFile(std::string_view subkey) const {
  return RegistryIniFile(SectionKey(subkey));
}

void VMurAppInfo::SaveForms(std::string_view except_names) {
  if (gui_ != nullptr) gui_->SaveForms(*this, except_names);
}

void VMurAppInfo::RestoreForms() {
  if (gui_ != nullptr) gui_->RestoreForms(*this);
}

void VMurAppInfo::Loaded() {
  Component::Loaded();
  if (gui_ != nullptr) {
    gui_->WatchOwnerFirstShow([this, alive = std::weak_ptr<bool>(alive_)] {
      if (!alive.expired() && on_owner_first_show_) on_owner_first_show_(this);
    });
  }
  if (!splash_form_class_.empty()) {
    if (gui_ == nullptr || !gui_->CreateSplash(splash_form_class_, splash_visible_)) {
      throw Exception(SplashClassMissingText(splash_form_class_));
    }
    splash_created_ = true;
    splash_start_ = TickCount();
  }
}

void VMurAppInfo::StartupTick() {
  if (inhibit_appl_running_) return;
  if (splash_created_ && gui_->SplashShowing()) {
    if (TickDifference(TickCount(), splash_start_) >= splash_min_time_ms_) {
      ReleaseStartupTimer();
      EndSplash();
    }
  } else {
    ReleaseStartupTimer();
    // A splash that was never shown, or closed early, still hands over to the main form, which
    // the application was told not to show by itself.
    if (splash_created_) EndSplash();
  }
  if (!appl_running_raised_) {
    appl_running_raised_ = true;
    if (on_appl_running_) on_appl_running_(this);
  }
}

void VMurAppInfo::EndSplash() {
  splash_created_ = false;
  gui_->ReleaseSplash();
  gui_->SetMainFormVisible(main_visible_);
}

void VMurAppInfo::ReleaseStartupTimer() {
  // Safe from inside the timer's own tick: the timer touches nothing after its handler.
  delete startup_timer_;
  startup_timer_ = nullptr;
}

}  // namespace kestrova
