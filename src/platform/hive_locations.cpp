#include "platform/hive_locations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrova {
namespace {

// Relative paths in the XDG variables are invalid and ignored, as the rules demand.
bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && IsAbsolute(home)) return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::string HiveIn(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  if (directory == "/") directory.clear();
  return directory + "/" + std::string(kHiveFolderName) + "/" + std::string(kHiveFileName);
}

}  // namespace

std::string UserHivePath() {
  const char* config_home = std::getenv("XDG_CONFIG_HOME");
  if (config_home != nullptr && IsAbsolute(config_home)) return HiveIn(config_home);
  return HiveIn(HomeDirectory() + "/.config");
}

std::string MachineHivePath() {
  const char* config_dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view dirs = config_dirs != nullptr ? config_dirs : "";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t end = dirs.find(':', pos);
    if (end == std::string_view::npos) end = dirs.size();
    std::string_view dir = dirs.substr(pos, end - pos);
    if (IsAbsolute(dir)) return HiveIn(std::string(dir));
    pos = end + 1;
  }
  return HiveIn("/etc/xdg");
}

}  // namespace kestrova
