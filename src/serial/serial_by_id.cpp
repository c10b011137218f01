#include "serial/serial_by_id.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace kestrova {
namespace {

namespace fs = std::filesystem;

constexpr char kDefaultFolder[] = "/dev/serial/by-id";
std::mutex folder_mutex;

std::string& FolderStorage() {
  static std::string folder = kDefaultFolder;
  return folder;
}

}  // namespace

std::vector<SerialByIdName> ReadSerialByIdNames(const std::string& folder) {
  std::vector<SerialByIdName> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code link_error;
    const fs::path target = fs::read_symlink(it->path(), link_error);
    if (link_error || !target.has_filename()) continue;
    names.push_back({it->path().string(), "/dev/" + target.filename().string()});
  }
  std::sort(names.begin(), names.end(),
            [](const SerialByIdName& a, const SerialByIdName& b) { return a.link < b.link; });
  return names;
}

void SetSerialByIdFolder(const std::string& folder) {
  std::lock_guard lock(folder_mutex);
  FolderStorage() = folder.empty() ? kDefaultFolder : folder;
}

std::string SerialByIdFolder() {
  std::lock_guard lock(folder_mutex);
  return FolderStorage();
}

}  // namespace kestrova
