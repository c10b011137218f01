// The command-line options that move the settings between machines without starting the
// windows: --import-settings FILE merges a registry export into the hives, --export-settings
// FILE writes the per-user settings as an export a registry editor reads.
#pragma once

#include <cstdio>
#include <optional>

namespace kestrova {

inline constexpr char kImportSettingsOption[] = "--import-settings";
inline constexpr char kExportSettingsOption[] = "--export-settings";

// Runs the settings options among the arguments in their order ("--option FILE" or
// "--option=FILE"), reporting on `out` what was done and on `err` what failed, and stops at the
// first that fails. Gives the exit status: 0 when every option did all of its work (an import
// only when every entry of the file went in), 1 when one did not, 2 for an option without a
// file name. Nothing when there are no settings options.
std::optional<int> RunSettingsOptions(int argc, const char* const argv[], std::FILE* out,
                                      std::FILE* err);

}  // namespace kestrova
