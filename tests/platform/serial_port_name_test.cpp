#include "platform/serial_port_name.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(PortNameToDevicePath, MapsLegacyNamesBareNamesAndPaths) {
  const struct {
    const char* name;
    const char* path;
  } kCases[] = {
      {"COM1", "/dev/ttyS0"},
      {"com12", "/dev/ttyS11"},
      {"CoM3", "/dev/ttyS2"},
      {"COM007", "/dev/ttyS6"},
      {"\\\\?\\COM12", "/dev/ttyS11"},
      {"\\\\?\\ttyUSB0", "/dev/ttyUSB0"},
      {"ttyUSB0", "/dev/ttyUSB0"},
      {"ttyACM3", "/dev/ttyACM3"},
      {"/dev/ttyUSB1", "/dev/ttyUSB1"},
      {"/dev/serial/by-id/usb-FTDI_X-if00-port0", "/dev/serial/by-id/usb-FTDI_X-if00-port0"},
      {"pts/4", "pts/4"},
      // Not a legacy number: plain names under /dev.
      {"COM0", "/dev/COM0"},
      {"COM", "/dev/COM"},
      {"COM1a", "/dev/COM1a"},
      {"COM1234567", "/dev/COM1234567"},
      {"COMPORT", "/dev/COMPORT"},
      {"", ""},
      {"\\\\?\\", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PortNameToDevicePath(c.name), c.path) << c.name;
  }
}

}  // namespace
}  // namespace kestrova
