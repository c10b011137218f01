#include "platform/termios_line_internal.h"

// termios2 and BOTHER; this file must not see <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace kestrova::termios_line {
namespace {

int GetTermios(int fd, termios2& t) { return ioctl(fd, TCGETS2, &t) == 0 ? 0 : errno; }

void SetRaw(termios2& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IUCLC |
                 IMAXBEL | IGNPAR);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

// Any rate, the input rate following the output rate.
void SetRate(termios2& t, uint32_t rate) {
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER;
  t.c_ispeed = rate;
  t.c_ospeed = rate;
}

void SetByteSize(termios2& t, uint8_t size) {
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[size - 5];
}

void SetParity(termios2& t, SerialParity parity) {
  t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  switch (parity) {
    case SerialParity::kNone:
      break;
    case SerialParity::kOdd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case SerialParity::kEven:
      t.c_cflag |= PARENB;
      break;
    case SerialParity::kMark:  // stick parity: odd selects 1, even selects 0
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case SerialParity::kSpace:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
}

// A UART sends 1.5 stop bits for CSTOPB with 5 data bits; with more it sends 2.
uint32_t SetStopBits(termios2& t, SerialStopBits stop_bits, uint8_t byte_size) {
  if (stop_bits == SerialStopBits::kOne) {
    t.c_cflag &= ~CSTOPB;
    return 0;
  }
  t.c_cflag |= CSTOPB;
  return stop_bits == SerialStopBits::kOneAndHalf && byte_size != 5 ? kUnsupportedStopBits : 0;
}

void SetParityCheck(termios2& t, bool check) {
  if (check) {
    t.c_iflag |= INPCK;
  } else {
    t.c_iflag &= ~INPCK;
  }
}

// One CRTSCTS switch drives both: CTS holds our output, RTS holds the peer's.
uint32_t SetRtsCtsFlow(termios2& t, const SerialLineSettings& s) {
  const bool rts_handshake = s.rts_control == SerialRtsControl::kHandshake;
  if (s.outx_cts_flow || rts_handshake) {
    t.c_cflag |= CRTSCTS;
  } else {
    t.c_cflag &= ~CRTSCTS;
  }
  return s.outx_cts_flow != rts_handshake ? kUnsupportedCtsRtsSplit : 0;
}

void SetXonXoff(termios2& t, const SerialLineSettings& s) {
  t.c_iflag &= ~(IXON | IXOFF);
  if (s.out_x) t.c_iflag |= IXON;
  if (s.in_x) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(s.xon_char);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoff_char);
}

// Fields termios has no place for; each is reported when it asks for something.
uint32_t UnsupportedFields(const SerialLineSettings& s) {
  uint32_t unsupported = 0;
  if (!s.binary) unsupported |= kUnsupportedBinaryOff;
  if (s.outx_dsr_flow) unsupported |= kUnsupportedDsrFlow;
  if (s.dtr_control == SerialDtrControl::kHandshake) unsupported |= kUnsupportedDtrHandshake;
  if (s.dsr_sensitivity) unsupported |= kUnsupportedDsrSensitivity;
  if (!s.tx_continue_on_xoff) unsupported |= kUnsupportedTxStopOnXoff;
  if (s.error_char_replace) unsupported |= kUnsupportedErrorChar;
  if (s.null_strip) unsupported |= kUnsupportedNullStrip;
  if (s.abort_on_error) unsupported |= kUnsupportedAbortOnError;
  // The tty layer throttles input at its own fill levels.
  const bool input_flow = s.in_x || s.rts_control == SerialRtsControl::kHandshake ||
                          s.dtr_control == SerialDtrControl::kHandshake;
  if (input_flow) unsupported |= kUnsupportedFlowLimits;
  return unsupported;
}

// What the driver changed of the bits we asked for.
uint32_t CompareReadBack(const termios2& asked, const termios2& got, uint32_t rate) {
  uint32_t unsupported = 0;
  // The kernel keeps c_ospeed in step with whatever rate the driver settled on.
  if (got.c_ospeed != rate) unsupported |= kUnsupportedBaudRate;
  if ((asked.c_cflag & CSIZE) != (got.c_cflag & CSIZE)) unsupported |= kUnsupportedByteSize;
  constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
  if ((asked.c_cflag & kParityBits) != (got.c_cflag & kParityBits)) {
    unsupported |= kUnsupportedParity;
  }
  if ((asked.c_cflag & CSTOPB) != (got.c_cflag & CSTOPB)) unsupported |= kUnsupportedStopBits;
  if ((asked.c_cflag & CRTSCTS) != (got.c_cflag & CRTSCTS)) unsupported |= kUnsupportedRtsCtsFlow;
  return unsupported;
}

}  // namespace

int CheckTerminal(int fd) {
  termios2 t{};
  return GetTermios(fd, t);
}

int MakeRaw(int fd) {
  termios2 t{};
  if (const int error = GetTermios(fd, t); error != 0) return error;
  SetRaw(t);
  return ioctl(fd, TCSETS2, &t) == 0 ? 0 : errno;
}

ErrnoResult<SerialConfigureReport> Program(int fd, const SerialLineSettings& s) {
  termios2 t{};
  if (const int error = GetTermios(fd, t); error != 0) return {error, {}};
  SerialConfigureReport report;
  SetRaw(t);
  SetRate(t, s.baud_rate);
  SetByteSize(t, s.byte_size);
  SetParity(t, s.parity);
  report.unsupported |= SetStopBits(t, s.stop_bits, s.byte_size);
  SetParityCheck(t, s.parity_check);
  report.unsupported |= SetRtsCtsFlow(t, s);
  SetXonXoff(t, s);
  report.unsupported |= UnsupportedFields(s);
  if (ioctl(fd, TCSETS2, &t) != 0) return {errno, report};
  termios2 got{};
  if (const int error = GetTermios(fd, got); error != 0) return {error, report};
  report.actual_baud_rate = got.c_ospeed;
  report.unsupported |= CompareReadBack(t, got, s.baud_rate);
  return {0, report};
}

}  // namespace kestrova::termios_line
