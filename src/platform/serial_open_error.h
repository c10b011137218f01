// The sentence a user reads when a serial device cannot be opened: what went wrong with which
// device, and what to do about it.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace kestrova {

// `device` is the device's stat result when it could be had (nullptr otherwise); for EACCES
// it names the group that owns the device (usually "dialout") whose membership is needed.
std::string SerialOpenErrorText(int error, std::string_view device_path, const struct stat* device);

}  // namespace kestrova
