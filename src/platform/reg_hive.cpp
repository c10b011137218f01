#include "platform/reg_hive.h"

#include <utility>

namespace kestrova {

std::string RegKey::Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return folded;
}

const RegValue* RegKey::Find(std::string_view name) const {
  auto it = index_.find(Folded(name));
  return it == index_.end() ? nullptr : &values_[it->second].value;
}

bool RegKey::Set(std::string_view name, RegValue value) {
  auto [it, inserted] = index_.try_emplace(Folded(name), values_.size());
  if (inserted) {
    values_.push_back({std::string(name), std::move(value)});
    return true;
  }
  RegValue& stored = values_[it->second].value;
  if (stored == value) return false;
  stored = std::move(value);
  return true;
}

bool RegKey::Erase(std::string_view name) {
  auto it = index_.find(Folded(name));
  if (it == index_.end()) return false;
  size_t position = it->second;
  index_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
  for (auto& [folded, index] : index_) {
    if (index > position) --index;
  }
  return true;
}

RegHive& RegHive::operator=(const RegHive& other) {
  keys_ = other.keys_;
  last_key_ = keys_.end();
  return *this;
}

RegHive& RegHive::operator=(RegHive&& other) noexcept {
  keys_ = std::move(other.keys_);
  last_key_ = keys_.end();
  other.last_key_ = other.keys_.end();
  return *this;
}

const RegKey* RegHive::FindKey(std::string_view path) const {
  auto it = keys_.find(path);
  return it == keys_.end() ? nullptr : &it->second;
}

const RegValue* RegHive::FindValue(std::string_view path, std::string_view name) const {
  const RegKey* key = FindKey(path);
  return key == nullptr ? nullptr : key->Find(name);
}

RegKey& RegHive::CreateKey(std::string_view path) {
  if (last_key_ != keys_.end() && last_key_->first == path) return last_key_->second;
  auto it = keys_.find(path);
  if (it == keys_.end()) it = keys_.emplace(std::string(path), RegKey{}).first;
  last_key_ = it;
  return it->second;
}

bool RegHive::DeleteKey(std::string_view path) {
  // Subkeys sort right after their key, so the subtree is one run.
  auto first = keys_.lower_bound(path);
  auto last = first;
  while (last != keys_.end() && RegPathWithin(last->first, path)) ++last;
  if (first == last) return false;
  keys_.erase(first, last);
  last_key_ = keys_.end();
  return true;
}

bool RegHive::SetValue(std::string_view path, std::string_view name, RegValue value) {
  size_t key_count = keys_.size();
  bool changed = CreateKey(path).Set(name, std::move(value));
  return changed || keys_.size() != key_count;
}

bool RegHive::DeleteValue(std::string_view path, std::string_view name) {
  auto it = keys_.find(path);
  return it != keys_.end() && it->second.Erase(name);
}

bool RegHive::Apply(const RegEdit& edit) { return Apply(RegEdit(edit)); }

bool RegHive::Apply(RegEdit&& edit) {
  switch (edit.kind) {
    case RegEdit::Kind::kCreateKey: {
      size_t key_count = keys_.size();
      CreateKey(edit.key);
      return keys_.size() != key_count;
    }
    case RegEdit::Kind::kDeleteKey:
      return DeleteKey(edit.key);
    case RegEdit::Kind::kSetValue:
      return SetValue(edit.key, edit.name, std::move(edit.value));
    case RegEdit::Kind::kDeleteValue:
      return DeleteValue(edit.key, edit.name);
  }
  return false;
}

}  // namespace kestrova
