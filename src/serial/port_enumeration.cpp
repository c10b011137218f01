#include "serial/port_enumeration.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/serial_port_name.h"
#include "serial/serial_by_id.h"
#include "serial/serial_comm_map.h"

namespace kestrova {
namespace {

constexpr char kUnknown[] = "?";
constexpr char kInvalid[] = "__INVALID__";
constexpr std::string_view kDevicePrefix = "\\DEVICE\\";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string GetDeviceName(const std::string& port_path) {
  const std::string path = PortNameToDevicePath(port_path);
  if (path.empty()) return kUnknown;
  // A link such as /dev/serial/by-id/... names the port it points to.
  std::error_code error;
  const std::string resolved = std::filesystem::weakly_canonical(path, error).string();
  const ErrnoResult<std::vector<SerialCommEntry>> map = ReadSerialCommMap(SerialCommSysfsRoot());
  if (map.error == ENOENT) return kUnknown;
  if (!map.ok()) return kInvalid;
  std::string name = kUnknown;
  for (auto it = map.value.rbegin(); it != map.value.rend(); ++it) {
    if (it->port == path || (!error && it->port == resolved)) {
      name = it->value_name;
      break;
    }
  }
  name = Upper(std::move(name));
  if (name.starts_with(kDevicePrefix)) name.erase(0, kDevicePrefix.size());
  return name;
}

void ListCommPorts(std::vector<std::string>& names, std::vector<std::string>* devices) {
  names.clear();
  if (devices != nullptr) devices->clear();
  const ErrnoResult<std::vector<SerialCommEntry>> map = ReadSerialCommMap(SerialCommSysfsRoot());
  if (!map.ok()) return;
  const std::vector<SerialByIdName> by_id = ReadSerialByIdNames(SerialByIdFolder());
  for (const SerialCommEntry& entry : map.value) {
    names.push_back(entry.port);
    if (devices != nullptr) devices->push_back(entry.value_name);
    for (const SerialByIdName& alias : by_id) {
      if (alias.target != entry.port) continue;
      names.push_back(alias.link);
      if (devices != nullptr) devices->push_back(entry.value_name);
    }
  }
}

}  // namespace kestrova
