// The content of one registry hive in memory: keys by full path, each with its values in the
// order they were created. Keys and value names keep the spelling they were created with and
// are found in any letter case.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/reg_key_path.h"
#include "platform/reg_value.h"

namespace kestrova {

struct RegNamedValue {
  std::string name;  // empty for the key's default value
  RegValue value;

  friend bool operator==(const RegNamedValue&, const RegNamedValue&) = default;
};

class RegKey {
 public:
  const std::vector<RegNamedValue>& Values() const { return values_; }
  const RegValue* Find(std::string_view name) const;
  // Both give true when the key changed.
  bool Set(std::string_view name, RegValue value);
  bool Erase(std::string_view name);

  friend bool operator==(const RegKey& a, const RegKey& b) { return a.values_ == b.values_; }

 private:
  static std::string Folded(std::string_view name);

  std::vector<RegNamedValue> values_;
  std::unordered_map<std::string, size_t> index_;  // folded name -> position in values_
};

// One change read from a registry file: keys are full canonical paths.
struct RegEdit {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = Kind::kCreateKey;
  std::string key;
  std::string name;
  RegValue value;

  friend bool operator==(const RegEdit&, const RegEdit&) = default;
};

class RegHive {
 public:
  RegHive() = default;
  RegHive(const RegHive& other) : keys_(other.keys_) {}
  RegHive(RegHive&& other) noexcept : keys_(std::move(other.keys_)) {}
  RegHive& operator=(const RegHive& other);
  RegHive& operator=(RegHive&& other) noexcept;

  using KeyMap = std::map<std::string, RegKey, RegPathLess>;

  const KeyMap& Keys() const { return keys_; }
  bool Empty() const { return keys_.empty(); }
  const RegKey* FindKey(std::string_view path) const;
  const RegValue* FindValue(std::string_view path, std::string_view name) const;

  // `path` is a full canonical path; a missing key is created (its parents need not exist).
  RegKey& CreateKey(std::string_view path);
  // Deletes the key and all its subkeys; true when there was one.
  bool DeleteKey(std::string_view path);
  bool SetValue(std::string_view path, std::string_view name, RegValue value);
  bool DeleteValue(std::string_view path, std::string_view name);
  // True when the hive changed.
  bool Apply(const RegEdit& edit);
  bool Apply(RegEdit&& edit);

  friend bool operator==(const RegHive& a, const RegHive& b) { return a.keys_ == b.keys_; }

 private:
  KeyMap keys_;
  // The key last created or found by CreateKey(): a file's values come key by key.
  KeyMap::iterator last_key_ = keys_.end();
};

}  // namespace kestrova
