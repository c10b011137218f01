#include "platform/reg_key_path.h"

#include <array>
#include <utility>

namespace kestrova {
namespace {

constexpr std::array<std::pair<RegRoot, std::string_view>, 5> kRootNames{{
    {RegRoot::kClassesRoot, "HKEY_CLASSES_ROOT"},
    {RegRoot::kCurrentUser, "HKEY_CURRENT_USER"},
    {RegRoot::kLocalMachine, "HKEY_LOCAL_MACHINE"},
    {RegRoot::kUsers, "HKEY_USERS"},
    {RegRoot::kCurrentConfig, "HKEY_CURRENT_CONFIG"},
}};

constexpr unsigned char Folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : static_cast<unsigned char>(c);
}

// The separator sorts below every other byte so that "A\B" comes before "A B" and "A0".
constexpr int PathRank(char c) { return c == '\\' ? 0 : Folded(c) + 1; }

std::string_view FirstComponent(std::string_view path) { return path.substr(0, path.find('\\')); }

}  // namespace

std::string_view RegRootName(RegRoot root) {
  for (const auto& [value, name] : kRootNames) {
    if (value == root) return name;
  }
  return {};
}

std::optional<RegRoot> RegRootFromName(std::string_view name) {
  for (const auto& [value, root_name] : kRootNames) {
    if (RegNamesEqual(name, root_name)) return value;
  }
  return std::nullopt;
}

std::optional<RegRoot> RegRootOfPath(std::string_view full_path) {
  return RegRootFromName(FirstComponent(full_path));
}

std::optional<std::string> CanonicalRegKeyPath(std::string_view full_path) {
  std::optional<RegRoot> root = RegRootOfPath(full_path);
  if (!root) return std::nullopt;
  std::string_view rest = full_path.substr(FirstComponent(full_path).size());
  // Every separator must be followed by a name.
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\' && (i + 1 == rest.size() || rest[i + 1] == '\\')) return std::nullopt;
  }
  std::string canonical(RegRootName(*root));
  canonical += rest;
  return canonical;
}

std::string RegKeyPath(RegRoot root, std::string_view key) {
  std::string path(RegRootName(root));
  size_t pos = 0;
  while (pos < key.size()) {
    size_t end = key.find('\\', pos);
    if (end == std::string_view::npos) end = key.size();
    if (end > pos) {
      path += '\\';
      path += key.substr(pos, end - pos);
    }
    pos = end + 1;
  }
  return path;
}

bool RegKeyPathStorable(std::string_view full_path) {
  return full_path.find_first_of("\r\n") == std::string_view::npos;
}

bool RegNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

bool RegPathLess::operator()(std::string_view a, std::string_view b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // the common case, without folding
    int ra = PathRank(a[i]);
    int rb = PathRank(b[i]);
    if (ra != rb) return ra < rb;
  }
  return a.size() < b.size();
}

bool RegPathWithin(std::string_view path, std::string_view ancestor) {
  if (path.size() < ancestor.size()) return false;
  if (!RegNamesEqual(path.substr(0, ancestor.size()), ancestor)) return false;
  return path.size() == ancestor.size() || path[ancestor.size()] == '\\';
}

}  // namespace kestrova
