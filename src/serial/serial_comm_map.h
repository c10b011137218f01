// The map of the serial ports present, as the rest of the program knows it from elsewhere: a
// kernel device name per port ("\Device\Silabser0" for /dev/ttyUSB0), read from sysfs.
#pragma once

#include <string>
#include <vector>

#include "platform/errno_result.h"

namespace kestrova {

struct SerialCommEntry {
  // "\Device\" + a name derived from the kernel driver: cp210x Silabser<n>, cdc_acm
  // USBSER<nnn>, the 8250 family Serial<n>, rfcomm BtPort<n>, ftdi_sio VCP<n>, pl2303
  // ProlificSerial<n> (n counting the ports of that kind in name order); any other driver
  // <driver>_<tty>, a port without a driver <tty>.
  std::string value_name;
  // The device path, /dev/<tty>.
  std::string port;
};

// Every /sys/class/tty entry under `sysfs_root` with a device behind it (and every rfcomm
// port) in natural name order (ttyS2 before ttyS10), except UARTs the kernel found no hardware
// for (type 0). ENOENT when there is no tty class; other errors when sysfs cannot be read.
ErrnoResult<std::vector<SerialCommEntry>> ReadSerialCommMap(const std::string& sysfs_root);

// The value name for a port of `driver` (empty when none) on `tty`, the `index`-th of its kind.
std::string SerialCommValueName(const std::string& driver, const std::string& tty, int index);

// The sysfs root the port list and device names come from: "/sys" unless a test put a fake
// tree in its place (an empty root restores "/sys"). Any thread.
void SetSerialCommSysfsRoot(const std::string& root);
std::string SerialCommSysfsRoot();

}  // namespace kestrova
