// Where the two settings hives live, after the XDG base-directory rules:
//   per-user:     $XDG_CONFIG_HOME/mur/kestrova.reg   (default ~/.config/mur/kestrova.reg)
//   machine-wide: <first of $XDG_CONFIG_DIRS>/mur/kestrova.reg   (default
//   /etc/xdg/mur/kestrova.reg)
// The environment is read on every call, so tests can point both at temporary folders.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

inline constexpr std::string_view kHiveFolderName = "mur";
inline constexpr std::string_view kHiveFileName = "kestrova.reg";

std::string UserHivePath();
std::string MachineHivePath();

}  // namespace kestrova
