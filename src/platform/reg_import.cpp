#include "platform/reg_import.h"

#include <vector>

#include "platform/atomic_file.h"
#include "platform/reg_text_reader.h"
#include "platform/registry.h"

namespace kestrova {
namespace {

constexpr size_t kMaxExportBytes = 256u << 20;

RegImportResult Failed(std::string message) {
  RegImportResult result;
  result.ok = false;
  result.message = std::move(message);
  return result;
}

std::string Counted(size_t count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// One line per key, in file order: "  <key>: 3 values set, 1 value deleted".
std::string DescribeKeys(const std::vector<const RegEdit*>& edits) {
  std::string out;
  for (size_t first = 0; first < edits.size();) {
    size_t set = 0;
    size_t deleted = 0;
    bool key_deleted = false;
    size_t next = first;
    for (; next < edits.size() && RegNamesEqual(edits[next]->key, edits[first]->key); ++next) {
      switch (edits[next]->kind) {
        case RegEdit::Kind::kCreateKey:
          break;
        case RegEdit::Kind::kDeleteKey:
          key_deleted = true;
          break;
        case RegEdit::Kind::kSetValue:
          ++set;
          break;
        case RegEdit::Kind::kDeleteValue:
          ++deleted;
          break;
      }
    }
    std::vector<std::string> parts;
    if (key_deleted) parts.push_back("key deleted with its subkeys");
    if (set > 0) parts.push_back(Counted(set, "value") + " set");
    if (deleted > 0) parts.push_back(Counted(deleted, "value") + " deleted");
    if (parts.empty()) parts.push_back("key only");
    out += "  " + edits[first]->key + ":";
    for (size_t i = 0; i < parts.size(); ++i) out += (i == 0 ? " " : ", ") + parts[i];
    out += '\n';
    first = next;
  }
  return out;
}

}  // namespace

RegImportResult ImportRegFile(const std::string& path) {
  FileBytes file = ReadWholeFile(path, kMaxExportBytes);
  if (file.error != 0) return Failed("cannot read " + path + ": " + ErrnoText(file.error));
  RegImportResult result = ImportRegText(file.bytes);
  if (!result.ok && result.user_changes == 0 && result.machine_changes == 0) {
    result.message = path + ": " + result.message;
  }
  return result;
}

RegImportResult ImportRegText(std::string_view bytes) {
  RegParseResult parsed = ParseRegText(bytes);
  if (!parsed.Ok()) return Failed("not imported, " + parsed.error->Describe());
  std::vector<const RegEdit*> user;
  std::vector<const RegEdit*> machine;
  std::vector<const RegEdit*> skipped;
  for (const RegEdit& edit : parsed.edits) {
    std::optional<RegRoot> root = RegRootOfPath(edit.key);
    if (root == RegRoot::kCurrentUser) {
      user.push_back(&edit);
    } else if (root == RegRoot::kLocalMachine) {
      machine.push_back(&edit);
    } else {
      skipped.push_back(&edit);
    }
  }
  RegImportResult result;
  result.skipped_changes = skipped.size();
  for (RegRoot root : {RegRoot::kCurrentUser, RegRoot::kLocalMachine}) {
    const bool per_user = root == RegRoot::kCurrentUser;
    const std::vector<const RegEdit*>& edits = per_user ? user : machine;
    if (edits.empty()) continue;
    HiveFile hive_file = RegHiveFile(root);
    HiveResult written = hive_file.Update([&](RegHive& hive) {
      for (const RegEdit* edit : edits) hive.Apply(*edit);
      return true;
    });
    const std::string hive_name =
        std::string(per_user ? "per-user" : "machine-wide") + " settings " + hive_file.Path();
    if (written.ok) {
      result.message += "Imported into the " + hive_name + ":\n";
      (per_user ? result.user_changes : result.machine_changes) = edits.size();
    } else {
      result.ok = false;
      result.message += "Not imported into the " + hive_name + " (" + written.error + "):\n";
    }
    result.message += DescribeKeys(edits);
  }
  if (!skipped.empty()) {
    result.message +=
        "Skipped, this program keeps only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE:\n";
    result.message += DescribeKeys(skipped);
  }
  result.message += "imported " + std::to_string(result.user_changes) + " per-user and " +
                    std::to_string(result.machine_changes) + " machine-wide entries";
  if (!skipped.empty()) {
    result.message += "; skipped " + std::to_string(skipped.size()) +
                      " entries under root keys this program does not keep";
  }
  result.message += '\n';
  return result;
}

}  // namespace kestrova
