// The stable names udev gives USB serial ports: links in /dev/serial/by-id named after the
// adapter's make, model and serial number, which survive the port coming back as ttyUSB1.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct SerialByIdName {
  std::string link;    // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
  std::string target;  // /dev/ttyUSB0
};

// The links in `folder`, by link name. A link's target is taken by its last part under /dev
// (udev makes them "../../ttyUSB0"), so a test folder needs no real devices. No folder (no
// USB serial port plugged in) gives none.
std::vector<SerialByIdName> ReadSerialByIdNames(const std::string& folder);

// The folder the port lists take the links from: "/dev/serial/by-id" unless a test put a fake
// one in its place (empty restores it). Any thread.
void SetSerialByIdFolder(const std::string& folder);
std::string SerialByIdFolder();

}  // namespace kestrova
