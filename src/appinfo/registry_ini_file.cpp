#include "appinfo/registry_ini_file.h"

#include "appinfo/registry_exception.h"
#include "appinfo/setting_values.h"
#include "platform/registry.h"

namespace kestrova {

RegistryIniFile::RegistryIniFile(std::string_view key)
    : key_(key),
      key_path_(RegKeyPath(RegRoot::kCurrentUser, key)),
      hive_(RegHiveFile(RegRoot::kCurrentUser).Read()) {}

std::string RegistryIniFile::SectionPath(std::string_view section) const {
  return RegKeyPath(RegRoot::kCurrentUser, key_ + "\\" + std::string(section));
}

const RegValue* RegistryIniFile::Find(std::string_view section, std::string_view name) const {
  return hive_.FindValue(SectionPath(section), name);
}

int RegistryIniFile::ReadInteger(std::string_view section, std::string_view name,
                                 int default_value) const {
  const RegValue* value = Find(section, name);
  if (value == nullptr) return default_value;
  return SettingInteger(*value).value_or(default_value);
}

std::string RegistryIniFile::ReadString(std::string_view section, std::string_view name,
                                        std::string_view default_value) const {
  const RegValue* value = Find(section, name);
  if (value == nullptr) return std::string(default_value);
  return SettingText(*value).value_or(std::string(default_value));
}

bool RegistryIniFile::ValueExists(std::string_view section, std::string_view name) const {
  return Find(section, name) != nullptr;
}

bool RegistryIniFile::SectionExists(std::string_view section) const {
  return hive_.FindKey(SectionPath(section)) != nullptr;
}

std::vector<std::string> RegistryIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> names;
  if (const RegKey* key = hive_.FindKey(SectionPath(section))) {
    for (const RegNamedValue& named : key->Values()) names.push_back(named.name);
  }
  return names;
}

std::vector<std::string> RegistryIniFile::ReadSectionValues(std::string_view section) const {
  std::vector<std::string> lines;
  if (const RegKey* key = hive_.FindKey(SectionPath(section))) {
    for (const RegNamedValue& named : key->Values()) {
      lines.push_back(named.name + "=" + SettingText(named.value).value_or(""));
    }
  }
  return lines;
}

void RegistryIniFile::WriteInteger(std::string_view section, std::string_view name, int value) {
  Change({RegEdit::Kind::kSetValue, SectionPath(section), std::string(name),
          RegValue::Dword(static_cast<uint32_t>(value))});
}

void RegistryIniFile::WriteString(std::string_view section, std::string_view name,
                                  std::string_view value) {
  Change(
      {RegEdit::Kind::kSetValue, SectionPath(section), std::string(name), RegValue::String(value)});
}

void RegistryIniFile::DeleteKey(std::string_view section, std::string_view name) {
  Change({RegEdit::Kind::kDeleteValue, SectionPath(section), std::string(name), {}});
}

void RegistryIniFile::EraseSection(std::string_view section) {
  Change({RegEdit::Kind::kDeleteKey, SectionPath(section), {}, {}});
}

void RegistryIniFile::Change(RegEdit edit) {
  if (update_depth_ > 0) {
    hive_.Apply(edit);
    pending_.push_back(std::move(edit));
    return;
  }
  Store({std::move(edit)});
}

void RegistryIniFile::EndUpdate() {
  if (update_depth_ == 0 || --update_depth_ > 0) return;
  std::vector<RegEdit> edits = std::move(pending_);
  pending_.clear();
  Store(std::move(edits));
}

void RegistryIniFile::Store(std::vector<RegEdit> edits) {
  if (edits.empty()) return;
  for (const RegEdit& edit : edits) {
    if (!RegKeyPathStorable(edit.key)) {
      hive_ = RegHiveFile(RegRoot::kCurrentUser).Read();
      throw ERegistryException("Cannot store settings under \"" + edit.key +
                               "\": a key name cannot hold a line break");
    }
  }
  HiveFile file = RegHiveFile(RegRoot::kCurrentUser);
  RegHive written;
  HiveResult result = file.Update([&](RegHive& hive) {
    bool changed = false;
    for (const RegEdit& edit : edits) changed = hive.Apply(edit) || changed;
    written = hive;
    return changed;
  });
  if (!result.ok) {
    hive_ = file.Read();
    throw ERegistryException("Cannot store settings under \"" + key_path_ + "\": " + result.error);
  }
  // Others' changes come along, so the view stays current.
  hive_ = std::move(written);
}

}  // namespace kestrova
