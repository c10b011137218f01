// Programming a tty's termios from the device-control-block fields, through termios2 so that
// any bit rate can be set. Kept apart: <asm/termbits.h> cannot meet <termios.h> in one file.
#pragma once

#include <cstdint>

#include "platform/errno_result.h"
#include "platform/serial_device.h"

namespace kestrova::termios_line {

// 0 when `fd` is a terminal, else ENOTTY (or the ioctl's error).
int CheckTerminal(int fd);

// Raw 8-bit input and output, receiver on, modem lines ignored for hang-up (CLOCAL), so that
// nothing is lost or mangled before the first Configure. Keeps rate and framing.
int MakeRaw(int fd);

// Programs rate, framing, parity checking, RTS/CTS and XON/XOFF flow, reads the result back
// and reports in `unsupported` what the driver did not take or what termios cannot do.
// Modem-control levels and the RS-485 mode are not handled here.
ErrnoResult<SerialConfigureReport> Program(int fd, const SerialLineSettings& settings);

}  // namespace kestrova::termios_line
