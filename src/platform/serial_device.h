// The serial line as the port component sees it: open one device exclusively, program it from
// device-control-block fields and read/write time limits, move bytes, watch the line.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/errno_result.h"

namespace kestrova {

// The errno a device gives for a function it does not have (modem lines on a pseudo-terminal,
// line events on a simulated port). Callers treat it as "no such function here", not a fault:
// data still flows.
inline constexpr int kSerialNotSupported = ENOTSUP;
// The errno of a read, write or wait that ended because its abort descriptor became readable.
inline constexpr int kSerialAborted = ECANCELED;
// The errno of a read on a line whose other end hung up (peer closed, adapter unplugged).
inline constexpr int kSerialHungUp = EIO;

// Line events, in the bit layout of the event word the port component posts.
inline constexpr uint32_t kEvRxChar = 0x0001;   // bytes arrived
inline constexpr uint32_t kEvRxFlag = 0x0002;   // the event character arrived
inline constexpr uint32_t kEvTxEmpty = 0x0004;  // the last queued byte has left
inline constexpr uint32_t kEvCts = 0x0008;
inline constexpr uint32_t kEvDsr = 0x0010;
inline constexpr uint32_t kEvRlsd = 0x0020;   // carrier detect (DCD) changed
inline constexpr uint32_t kEvBreak = 0x0040;  // a break was received
inline constexpr uint32_t kEvErr = 0x0080;    // frame, overrun or parity error
inline constexpr uint32_t kEvRing = 0x0100;
inline constexpr uint32_t kEvAll = 0x01FF;

// Line errors, in the layout of the error word that follows an kEvErr event.
inline constexpr uint32_t kCeRxOver = 0x0001;  // the input buffer overflowed
inline constexpr uint32_t kCeOverrun = 0x0002;
inline constexpr uint32_t kCeRxParity = 0x0004;
inline constexpr uint32_t kCeFrame = 0x0008;
inline constexpr uint32_t kCeBreak = 0x0010;

// Modem input lines, in the layout of the modem-status word.
inline constexpr uint32_t kMsCtsOn = 0x0010;
inline constexpr uint32_t kMsDsrOn = 0x0020;
inline constexpr uint32_t kMsRingOn = 0x0040;
inline constexpr uint32_t kMsRlsdOn = 0x0080;  // DCD

// Purge flags (combine with |).
inline constexpr uint32_t kPurgeTxAbort = 0x0001;
inline constexpr uint32_t kPurgeRxAbort = 0x0002;
inline constexpr uint32_t kPurgeTxClear = 0x0004;
inline constexpr uint32_t kPurgeRxClear = 0x0008;

// Escape functions; the values are the codes the port component has always used.
enum class SerialEscape : uint8_t {
  kSetXoff = 1,  // act as if XOFF had been received: hold transmission
  kSetXon = 2,   // act as if XON had been received: resume transmission
  kSetRts = 3,
  kClrRts = 4,
  kSetDtr = 5,
  kClrDtr = 6,
  kSetBreak = 8,
  kClrBreak = 9,
};

enum class SerialParity : uint8_t { kNone = 0, kOdd = 1, kEven = 2, kMark = 3, kSpace = 4 };
enum class SerialStopBits : uint8_t { kOne = 0, kOneAndHalf = 1, kTwo = 2 };
enum class SerialDtrControl : uint8_t { kDisable = 0, kEnable = 1, kHandshake = 2 };
enum class SerialRtsControl : uint8_t { kDisable = 0, kEnable = 1, kHandshake = 2, kToggle = 3 };

// The device-control-block fields. Defaults are what the port component programs. What each
// field becomes on this platform, and which ones have no counterpart, is tabled in
// platform/termios_mapping.md.
struct SerialLineSettings {
  uint32_t baud_rate = 19200;  // any rate above 0
  uint8_t byte_size = 8;       // 5..8; anything else (4 included) is refused with EINVAL
  SerialParity parity = SerialParity::kNone;
  SerialStopBits stop_bits = SerialStopBits::kOne;
  bool binary = true;         // fBinary
  bool parity_check = false;  // fParity
  bool outx_cts_flow = false;
  bool outx_dsr_flow = false;
  SerialDtrControl dtr_control = SerialDtrControl::kEnable;
  bool dsr_sensitivity = false;
  bool tx_continue_on_xoff = true;
  bool out_x = false;               // XON/XOFF on transmit
  bool in_x = false;                // XON/XOFF on receive
  bool error_char_replace = false;  // fErrorChar
  bool null_strip = false;          // fNull
  SerialRtsControl rts_control = SerialRtsControl::kEnable;
  bool abort_on_error = false;
  uint16_t xon_lim = 2048;
  uint16_t xoff_lim = 512;
  char xon_char = 17;
  char xoff_char = 19;
  char error_char = 0;
  char eof_char = 0;
  char evt_char = 0;

  bool operator==(const SerialLineSettings&) const = default;
};

// Settings the device stored but could not carry out as asked (bits of
// SerialConfigureReport::unsupported). None of them makes Configure fail.
inline constexpr uint32_t kUnsupportedBaudRate = 1u << 0;  // driver set another rate
inline constexpr uint32_t kUnsupportedStopBits = 1u << 1;  // 1.5 above 5 data bits, or refused
inline constexpr uint32_t kUnsupportedBinaryOff = 1u << 2;
inline constexpr uint32_t kUnsupportedDsrFlow = 1u << 3;
inline constexpr uint32_t kUnsupportedDtrHandshake = 1u << 4;
inline constexpr uint32_t kUnsupportedDsrSensitivity = 1u << 5;
inline constexpr uint32_t kUnsupportedTxStopOnXoff = 1u << 6;  // tx_continue_on_xoff false
inline constexpr uint32_t kUnsupportedErrorChar = 1u << 7;
inline constexpr uint32_t kUnsupportedNullStrip = 1u << 8;
inline constexpr uint32_t kUnsupportedAbortOnError = 1u << 9;
inline constexpr uint32_t kUnsupportedFlowLimits = 1u << 10;    // xon_lim / xoff_lim
inline constexpr uint32_t kUnsupportedRtsToggle = 1u << 11;     // no RS-485 mode in the driver
inline constexpr uint32_t kUnsupportedCtsRtsSplit = 1u << 12;   // CTS flow and RTS handshake
                                                                // only come together here
inline constexpr uint32_t kUnsupportedModemControl = 1u << 13;  // no DTR/RTS lines at all
inline constexpr uint32_t kUnsupportedByteSize = 1u << 14;      // driver kept another size
inline constexpr uint32_t kUnsupportedParity = 1u << 15;        // driver kept another parity
inline constexpr uint32_t kUnsupportedRtsCtsFlow = 1u << 16;    // driver refused RTS/CTS flow

struct SerialConfigureReport {
  // kUnsupported... bits; 0 when everything was carried out.
  uint32_t unsupported = 0;
  // The rate read back from the driver after programming it.
  uint32_t actual_baud_rate = 0;
};

// Time limits of reads and writes, in milliseconds, with the classic meanings:
// - a read ends when its buffer is full, or when more than `read_interval` passed between two
//   bytes (counted from the first byte; 0 = no interval limit), or when
//   read_total_multiplier * buffer size + read_total_constant passed since the read began
//   (both 0 = no total limit);
// - read_interval kMaxTimeout with both totals 0: return at once with what is there, even
//   nothing;
// - read_interval and read_total_multiplier kMaxTimeout with 0 < read_total_constant <
//   kMaxTimeout: return as soon as any byte is there, else after read_total_constant;
// - a write ends when all is written or write_total_multiplier * size + write_total_constant
//   passed (both 0 = no limit).
struct SerialTimeouts {
  static constexpr uint32_t kMaxTimeout = 0xFFFFFFFF;

  uint32_t read_interval = 0;
  uint32_t read_total_multiplier = 0;
  uint32_t read_total_constant = 0;
  uint32_t write_total_multiplier = 0;
  uint32_t write_total_constant = 0;

  bool operator==(const SerialTimeouts&) const = default;
};

// What Wait found. Both may be set.
struct SerialWaitResult {
  uint32_t events = 0;    // kEv... bits of the requested mask that occurred
  bool readable = false;  // a Read will not wait for its first byte (bytes or a hang-up)
};

// The line-error state as ClearErrors leaves it.
struct SerialErrorState {
  uint32_t errors = 0;     // kCe... bits gathered since the previous ClearErrors
  uint32_t in_queue = 0;   // bytes received and not yet read
  uint32_t out_queue = 0;  // bytes written and not yet sent
};

struct SerialOpenResult {
  int error = 0;
  // A sentence a user understands, naming the device and what to do (for EACCES: the group
  // that owns the device). Empty on success.
  std::string message;

  bool ok() const { return error == 0; }
};

// One serial line. Threads: one reader calls Wait and Read, one writer calls Write; the other
// operations may come from a third thread (the GUI), also while a read, wait or write is in
// progress. Open and Close are called while no other operation runs. Every operation but Open
// on a closed device gives EBADF.
//
// `abort_fd` (an event's descriptor, e.g. the port's close event): a Read, Write or Wait in
// progress ends with kSerialAborted as soon as it is readable; pass -1 for none. It is not
// consumed.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Opens `device_path` for reading and writing, exclusively: a second open of the same
  // device, by this or another process, fails with EBUSY. Refuses what is not a serial device
  // (ENOTTY).
  virtual SerialOpenResult Open(const std::string& device_path) = 0;
  // Restores nothing, flushes nothing; any RS-485 mode switched on by Configure is switched
  // off again.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Programs the line. Fails (EINVAL, nothing changed) on a byte size outside 5..8, a rate of
  // 0, or equal XON and XOFF characters with XON/XOFF flow on; otherwise programs what the
  // device can do and reports the rest.
  virtual ErrnoResult<SerialConfigureReport> Configure(const SerialLineSettings& settings) = 0;
  // What Configure last stored (as asked, not as carried out); the defaults before that.
  virtual SerialLineSettings LineSettings() const = 0;
  virtual int SetTimeouts(const SerialTimeouts& timeouts) = 0;
  virtual SerialTimeouts Timeouts() const = 0;

  // Reads into `buffer` under the time limits. The value is the byte count: 0 when a time
  // limit ran out first. kSerialAborted keeps in `value` what was read before the abort;
  // kSerialHungUp means the line is gone for good.
  virtual ErrnoResult<size_t> Read(std::span<char> buffer, int abort_fd) = 0;
  // Writes all of `data` unless the write time limit runs out (value < size, error 0) or the
  // write is aborted (kSerialAborted, value = bytes handed to the driver).
  virtual ErrnoResult<size_t> Write(std::string_view data, int abort_fd) = 0;

  // Waits up to `timeout` until one of the kEv... events of `event_mask` occurs or the line
  // is readable; returns at once when an event is already pending. Events are counted from the
  // previous Wait on, so a short pulse between two waits is not missed. With a non-zero mask a
  // device that cannot watch line events gives kSerialNotSupported; with mask 0 every device
  // waits for data. A timeout gives an empty result, not an error. Events the device cannot
  // see (modem lines on a pseudo-terminal) simply never occur.
  virtual ErrnoResult<SerialWaitResult> Wait(uint32_t event_mask, int abort_fd,
                                             std::chrono::milliseconds timeout) = 0;

  // The modem-status word (kMs... bits; a device may set bits above the low 16).
  // kSerialNotSupported on a device without modem lines.
  virtual ErrnoResult<uint32_t> ModemStatus() = 0;
  // kSerialNotSupported on a device without modem lines (the DTR/RTS/break functions).
  virtual int Escape(SerialEscape function) = 0;
  // Takes the line errors gathered since the last call and reports the queue fill levels.
  virtual ErrnoResult<SerialErrorState> ClearErrors() = 0;
  // Discards queued input and/or output (kPurge... flags). A read or write in progress is not
  // ended by it: that is what the abort descriptor is for.
  virtual int Purge(uint32_t flags) = 0;
};

}  // namespace kestrova
