// Merges a registry export (a .reg file made by a registry editor or by this program) into the
// hives: keys under HKEY_CURRENT_USER go to the per-user hive, keys under HKEY_LOCAL_MACHINE to
// the machine-wide one. Deletions in the export ([-key], "name"=-) are applied too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

struct RegImportResult {
  bool ok = true;  // false when the file could not be read or parsed, or a hive not be written
  // For the user, a line each: per hive the keys imported and the keys not imported with the
  // reason, the keys skipped and why; then the totals.
  std::string message;
  size_t user_changes = 0;
  size_t machine_changes = 0;
  size_t skipped_changes = 0;  // under roots this program does not keep

  // Every entry of the file went in.
  bool Complete() const { return ok && skipped_changes == 0; }
};

// A file that cannot be read or parsed changes nothing.
RegImportResult ImportRegFile(const std::string& path);
RegImportResult ImportRegText(std::string_view bytes);

}  // namespace kestrova
