// An ini-file view of one registry key under HKEY_CURRENT_USER: each section is a subkey, the
// empty section is the key itself. Used for form placement and the terminal's send history.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/reg_hive.h"

namespace kestrova {

class RegistryIniFile {
 public:
  // `key` below HKEY_CURRENT_USER, such as "\Software\MUR s.r.o.\KestTerminal\Options\Forms".
  // The hive is read once here; reads see it and this object's own writes.
  explicit RegistryIniFile(std::string_view key);

  // The full path of the key, from the root key on.
  const std::string& KeyPath() const { return key_path_; }

  // Reads never fail: a missing section or value, or one of an unsuitable type, gives the
  // default. Texts read as integers when they parse; integers read as their decimal text.
  int ReadInteger(std::string_view section, std::string_view name, int default_value) const;
  std::string ReadString(std::string_view section, std::string_view name,
                         std::string_view default_value) const;
  bool ValueExists(std::string_view section, std::string_view name) const;
  bool SectionExists(std::string_view section) const;
  // The value names of a section in the order they were created.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // "name=text" for each value of a section, in the order they were created.
  std::vector<std::string> ReadSectionValues(std::string_view section) const;

  // Writes raise ERegistryException when the hive cannot be written.
  void WriteInteger(std::string_view section, std::string_view name, int value);
  void WriteString(std::string_view section, std::string_view name, std::string_view value);
  void DeleteKey(std::string_view section, std::string_view name);
  // Removes the section's key with all its values and subkeys.
  void EraseSection(std::string_view section);

  // Between BeginUpdate() and the matching EndUpdate() writes are only kept here; EndUpdate()
  // stores them all with one rewrite of the hive. Pairs may nest.
  void BeginUpdate() { ++update_depth_; }
  void EndUpdate();

 private:
  std::string SectionPath(std::string_view section) const;
  const RegValue* Find(std::string_view section, std::string_view name) const;
  void Change(RegEdit edit);
  void Store(std::vector<RegEdit> edits);

  std::string key_;
  std::string key_path_;
  RegHive hive_;
  std::vector<RegEdit> pending_;
  int update_depth_ = 0;
};

}  // namespace kestrova
