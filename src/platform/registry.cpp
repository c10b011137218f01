#include "platform/registry.h"

#include <string>

#include "platform/hive_locations.h"

namespace kestrova {
namespace {

HiveResult NotKept(RegRoot root) {
  return HiveResult::Failure(std::string(RegRootName(root)) + " is not kept by this program");
}

HiveResult NotStorable(const std::string& path) {
  return HiveResult::Failure("key name \"" + path + "\" holds a line break and cannot be stored");
}

}  // namespace

bool RegRootKept(RegRoot root) {
  return root == RegRoot::kCurrentUser || root == RegRoot::kLocalMachine;
}

HiveFile RegHiveFile(RegRoot root) {
  return HiveFile(root == RegRoot::kLocalMachine ? MachineHivePath() : UserHivePath());
}

std::optional<RegValue> RegReadValue(RegRoot root, std::string_view key, std::string_view name) {
  if (!RegRootKept(root)) return std::nullopt;
  RegHive hive = RegHiveFile(root).Read();
  const RegValue* value = hive.FindValue(RegKeyPath(root, key), name);
  return value != nullptr ? std::optional<RegValue>(*value) : std::nullopt;
}

std::optional<RegKey> RegReadKey(RegRoot root, std::string_view key) {
  if (!RegRootKept(root)) return std::nullopt;
  RegHive hive = RegHiveFile(root).Read();
  const RegKey* found = hive.FindKey(RegKeyPath(root, key));
  return found != nullptr ? std::optional<RegKey>(*found) : std::nullopt;
}

HiveResult RegWriteValue(RegRoot root, std::string_view key, std::string_view name,
                         const RegValue& value) {
  if (!RegRootKept(root)) return NotKept(root);
  std::string path = RegKeyPath(root, key);
  if (!RegKeyPathStorable(path)) return NotStorable(path);
  return RegHiveFile(root).Update([&](RegHive& hive) { return hive.SetValue(path, name, value); });
}

HiveResult RegDeleteKey(RegRoot root, std::string_view key) {
  if (!RegRootKept(root)) return NotKept(root);
  std::string path = RegKeyPath(root, key);
  return RegHiveFile(root).Update([&](RegHive& hive) { return hive.DeleteKey(path); });
}

}  // namespace kestrova
