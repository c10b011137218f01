#include "terminal/terminal_history.h"

#include <algorithm>

#include "appinfo/registry_ini_file.h"

namespace kestrova {

bool TerminalHistory::Remember(std::string_view text) {
  if (text.empty() || (!entries_.empty() && entries_.front() == text)) return false;
  auto found = std::find(entries_.begin(), entries_.end(), text);
  if (found != entries_.end()) entries_.erase(found);
  entries_.insert(entries_.begin(), std::string(text));
  if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
  return true;
}

void TerminalHistory::Load(const RegistryIniFile& file, std::string_view section) {
  std::vector<std::string> loaded;
  for (const std::string& name : file.ReadSection(section)) {
    if (loaded.size() == kMaxEntries) break;
    loaded.push_back(file.ReadString(section, name, ""));
  }
  entries_ = std::move(loaded);
}

void TerminalHistory::Save(RegistryIniFile& file, std::string_view section) const {
  file.BeginUpdate();
  file.EraseSection(section);
  for (size_t i = 0; i < entries_.size(); ++i) {
    file.WriteString(section, std::to_string(i), entries_[i]);
  }
  file.EndUpdate();
}

}  // namespace kestrova
