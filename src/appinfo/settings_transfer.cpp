#include "appinfo/settings_transfer.h"

#include <errno.h>

#include <string>
#include <string_view>

#include "platform/atomic_file.h"
#include "platform/reg_import.h"
#include "platform/reg_text_writer.h"
#include "platform/registry.h"

namespace kestrova {
namespace {

void PrintLines(std::FILE* stream, std::string text) {
  if (!text.empty() && text.back() != '\n') text += '\n';
  std::fputs(text.c_str(), stream);
}

void PrintError(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%s: %s\n", program_invocation_short_name, message.c_str());
}

int ImportSettings(const std::string& path, std::FILE* out, std::FILE* err) {
  RegImportResult result = ImportRegFile(path);
  if (result.user_changes == 0 && result.machine_changes == 0 && !result.ok) {
    PrintError(err, result.message);  // nothing went in: the file could not be read or parsed
    return 1;
  }
  PrintLines(out, result.message);
  if (!result.ok) PrintError(err, "not all of " + path + " was imported, see above");
  return result.Complete() ? 0 : 1;
}

std::string Counted(size_t count, std::string_view what) {
  return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

size_t ValueCount(const RegHive& hive) {
  size_t count = 0;
  for (const auto& [path, key] : hive.Keys()) count += key.Values().size();
  return count;
}

int ExportSettings(const std::string& path, std::FILE* out, std::FILE* err) {
  const HiveFile user_hive = RegHiveFile(RegRoot::kCurrentUser);
  std::string problem;
  std::optional<RegHive> hive = user_hive.ReadStrictly(problem);
  if (!hive) {
    PrintError(err, problem + "; nothing exported");
    return 1;
  }
  if (hive->Empty()) {
    PrintError(err, "there are no per-user settings to export yet (" + user_hive.Path() +
                        " is missing or empty; the settings are stored when the main window "
                        "closes)");
    return 1;
  }
  const std::string text = FormatRegExport(*hive);
  if (int error = ReplaceFileAtomically(path, text); error != 0) {
    PrintError(err, "cannot write " + path + ": " + ErrnoText(error));
    return 1;
  }
  const bool utf16 = text.starts_with("\xFF\xFE");
  std::fprintf(out, "Exported %s with %s from %s to %s%s\n",
               Counted(hive->Keys().size(), "key").c_str(),
               Counted(ValueCount(*hive), "value").c_str(), user_hive.Path().c_str(), path.c_str(),
               utf16 ? ""
                     : " as an 8-bit REGEDIT4 file: some texts are not UTF-8 and would change "
                       "in UTF-16");
  return 0;
}

}  // namespace

std::optional<int> RunSettingsOptions(int argc, const char* const argv[], std::FILE* out,
                                      std::FILE* err) {
  std::optional<int> status;
  for (int i = 1; i < argc && status.value_or(0) == 0; ++i) {
    const std::string_view arg = argv[i];
    for (const std::string_view option : {kImportSettingsOption, kExportSettingsOption}) {
      std::optional<std::string> file;
      if (arg == option) {
        if (i + 1 < argc) file = argv[++i];
      } else if (arg.starts_with(option) && arg.substr(option.size()).starts_with('=')) {
        file = std::string(arg.substr(option.size() + 1));
      } else {
        continue;
      }
      if (!file || file->empty()) {
        PrintError(
            err, std::string(option) + " needs a file name: " + std::string(option) + " FILE.reg");
        status = 2;
      } else if (option == kImportSettingsOption) {
        status = ImportSettings(*file, out, err);
      } else {
        status = ExportSettings(*file, out, err);
      }
      break;
    }
  }
  return status;
}

}  // namespace kestrova
