// The send line's history: the newest text first, at most 21 texts, stored as string values
// named by their index in one section of an ini-style settings file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

class RegistryIniFile;

class TerminalHistory {
 public:
  static constexpr size_t kMaxEntries = 21;

  const std::vector<std::string>& Entries() const { return entries_; }

  // Puts `text` first, moving it up when it is further down and dropping the oldest entry
  // beyond kMaxEntries. False when nothing changed: `text` is empty or already the newest.
  bool Remember(std::string_view text);

  // Replaces the entries by the values of `section` in stored order (at most kMaxEntries).
  void Load(const RegistryIniFile& file, std::string_view section);
  // Replaces the section by the entries, "0" the newest, in one write. Raises
  // ERegistryException when the settings cannot be written.
  void Save(RegistryIniFile& file, std::string_view section) const;

 private:
  std::vector<std::string> entries_;
};

}  // namespace kestrova
