#include "platform/serial_open_error.h"

#include <grp.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace kestrova {
namespace {

// The name of group `gid`, or empty when the system does not know it.
std::string GroupName(gid_t gid) {
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(1024);
  while (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  return found != nullptr ? std::string(found->gr_name) : std::string();
}

std::string PermissionText(std::string_view path, const struct stat* device) {
  std::string text = "Permission denied opening serial device " + std::string(path) + ". ";
  if (device == nullptr) {
    return text +
           "Your user must belong to the group that owns the device (usually \"dialout\"); "
           "add it with \"sudo usermod -aG dialout $USER\" and log in again.";
  }
  const std::string name = GroupName(device->st_gid);
  const std::string group = name.empty() ? "with id " + std::to_string(device->st_gid) : name;
  if (device->st_gid == 0 || (device->st_mode & S_IRWXG) == 0) {
    return text + "The device is owned by group \"" + group +
           "\" and is not open to group members; ask the administrator for access (usually "
           "a udev rule giving it to the group \"dialout\").";
  }
  return text + "Your user must be a member of the group \"" + group +
         "\" that owns the device; add it with \"sudo usermod -aG " +
         (name.empty() ? std::to_string(device->st_gid) : name) + " $USER\" and log in again.";
}

}  // namespace

std::string SerialOpenErrorText(int error, std::string_view device_path,
                                const struct stat* device) {
  const std::string path(device_path);
  switch (error) {
    case 0:
      return {};
    case EACCES:
    case EPERM:
      return PermissionText(device_path, device);
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "Serial device " + path + " does not exist; is the adapter plugged in?";
    case EBUSY:
      return "Serial device " + path + " is in use by another program.";
    case ENOTTY:
      return path + " is not a serial device.";
    default:
      return "Cannot open serial device " + path + ": " + std::strerror(error) + ".";
  }
}

}  // namespace kestrova
