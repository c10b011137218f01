// Registry key paths: the root key names and the comparison rules of keys and value names,
// which ignore ASCII letter case as the registry does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class RegRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

// "HKEY_CURRENT_USER" and so on.
std::string_view RegRootName(RegRoot root);
// Any letter case; abbreviations such as HKCU are not root names in a registry file.
std::optional<RegRoot> RegRootFromName(std::string_view name);
// The root of a full key path ("HKEY_CURRENT_USER\Software" gives kCurrentUser).
std::optional<RegRoot> RegRootOfPath(std::string_view full_path);

// A full path as it stands in a registry file: a known root, then names separated by single
// backslashes. Gives the path with the root's own spelling, or nothing when it is malformed.
std::optional<std::string> CanonicalRegKeyPath(std::string_view full_path);

// The full path of `key` below `root`. Leading, trailing and doubled backslashes in `key` are
// dropped, so "\Software\X\" names the same key as "Software\X".
std::string RegKeyPath(RegRoot root, std::string_view key);

// A registry file has no escapes in key names, so a name with a line break cannot be stored.
bool RegKeyPathStorable(std::string_view full_path);

// Value names and key paths compare without regard to ASCII letter case.
bool RegNamesEqual(std::string_view a, std::string_view b);

// Orders keys as a tree: a key comes right before its subkeys, and letter case is ignored.
struct RegPathLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// True when `path` is `ancestor` itself or one of its subkeys.
bool RegPathWithin(std::string_view path, std::string_view ancestor);

}  // namespace kestrova
