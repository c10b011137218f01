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
  RegImportResult result;
  for (const RegEdit& edit : parsed.edits) {
    std::optional<RegRoot> root = RegRootOfPath(edit.key);
    if (root == RegRoot::kCurrentUser) {
      user.push_back(&edit);
    } else if (root == RegRoot::kLocalMachine) {
      machine.push_back(&edit);
    } else {
      ++result.skipped_changes;
    }
  }
  for (RegRoot root : {RegRoot::kCurrentUser, RegRoot::kLocalMachine}) {
    const std::vector<const RegEdit*>& edits = root == RegRoot::kCurrentUser ? user : machine;
    if (edits.empty()) continue;
    HiveResult written = RegHiveFile(root).Update([&](RegHive& hive) {
      for (const RegEdit* edit : edits) hive.Apply(*edit);
      return true;
    });
    if (!written.ok) {
      result.ok = false;
      result.message += (result.message.empty() ? "" : "; ") + written.error;
      continue;
    }
    (root == RegRoot::kCurrentUser ? result.user_changes : result.machine_changes) = edits.size();
  }
  std::string summary = "imported " + std::to_string(result.user_changes) + " per-user and " +
                        std::to_string(result.machine_changes) + " machine-wide entries";
  if (result.skipped_changes > 0) {
    summary += "; skipped " + std::to_string(result.skipped_changes) +
               " entries under root keys this program does not keep";
  }
  result.message = result.message.empty() ? summary : result.message + "; " + summary;
  return result;
}

}  // namespace kestrova
