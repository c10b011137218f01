#include "platform/termios_serial_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "support/pty_pair.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

class TermiosDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    const SerialOpenResult opened = device_.Open(pty_.slave_path());
    ASSERT_TRUE(opened.ok()) << opened.message;
    // As the port component sets it: blocks end 10 ms after the last byte.
    SerialTimeouts timeouts;
    timeouts.read_interval = 10;
    ASSERT_EQ(device_.SetTimeouts(timeouts), 0);
  }

  // Reads once with a 2048-byte buffer, as the port's reader does.
  std::string ReadBlock(int abort_fd = -1) {
    std::string buffer(2048, '\0');
    const ErrnoResult<size_t> got = device_.Read(buffer, abort_fd);
    EXPECT_EQ(got.error, 0);
    buffer.resize(got.value);
    return buffer;
  }

  termios SlaveTermios() {
    termios t{};
    EXPECT_EQ(tcgetattr(pty_.slave(), &t), 0);
    return t;
  }

  PtyPair pty_;
  TermiosSerialDevice device_;
};

// A pty keeps stop bits and the stick-parity bits but forces 8 bits without parity; what it
// did not take must be reported, not passed off as done.
TEST_F(TermiosDevice, ProgramsFramingAndReportsWhatThePtyDidNotKeep) {
  struct Case {
    uint8_t size;
    SerialParity parity;
    SerialStopBits stop;
    tcflag_t asked;  // of CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
  };
  const Case kCases[] = {
      {8, SerialParity::kNone, SerialStopBits::kOne, CS8},
      {8, SerialParity::kNone, SerialStopBits::kTwo, CS8 | CSTOPB},
      {7, SerialParity::kEven, SerialStopBits::kOne, CS7 | PARENB},
      {7, SerialParity::kOdd, SerialStopBits::kTwo, CS7 | PARENB | PARODD | CSTOPB},
      {6, SerialParity::kMark, SerialStopBits::kOne, CS6 | PARENB | PARODD | CMSPAR},
      {5, SerialParity::kSpace, SerialStopBits::kOneAndHalf, CS5 | PARENB | CMSPAR | CSTOPB},
  };
  constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
  for (const Case& c : kCases) {
    SCOPED_TRACE(int{c.size});
    SerialLineSettings s;
    s.byte_size = c.size;
    s.parity = c.parity;
    s.stop_bits = c.stop;
    const ErrnoResult<SerialConfigureReport> report = device_.Configure(s);
    ASSERT_EQ(report.error, 0);
    EXPECT_EQ(device_.LineSettings(), s);
    const tcflag_t kept = SlaveTermios().c_cflag & kFraming;
    EXPECT_EQ(kept & (PARODD | CMSPAR | CSTOPB), c.asked & (PARODD | CMSPAR | CSTOPB));
    const uint32_t reported = report.value.unsupported & ~kUnsupportedModemControl;
    const uint32_t expected = ((kept & CSIZE) != (c.asked & CSIZE) ? kUnsupportedByteSize : 0) |
                              ((kept & PARENB) != (c.asked & PARENB) ? kUnsupportedParity : 0);
    EXPECT_EQ(reported, expected);
  }

  SerialLineSettings flow;
  flow.outx_cts_flow = true;
  flow.rts_control = SerialRtsControl::kHandshake;
  flow.out_x = true;
  flow.in_x = true;
  flow.xon_char = 0x11;
  flow.xoff_char = 0x13;
  flow.parity_check = true;
  const ErrnoResult<SerialConfigureReport> report = device_.Configure(flow);
  ASSERT_EQ(report.error, 0);
  const termios t = SlaveTermios();
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), IXON | IXOFF | INPCK);
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST_F(TermiosDevice, TakesEveryTableRateAndOddOnesAndReadsThemBack) {
  const uint32_t kRates[] = {110,    300,    600,    1200,    2400,  4800,   9600,   14400,
                             19200,  28800,  38400,  56000,   57600, 115200, 128000, 230400,
                             256000, 460800, 921600, 1000000, 12345, 250000};
  for (uint32_t rate : kRates) {
    SerialLineSettings s;
    s.baud_rate = rate;
    const ErrnoResult<SerialConfigureReport> report = device_.Configure(s);
    ASSERT_EQ(report.error, 0) << rate;
    EXPECT_EQ(report.value.actual_baud_rate, rate);
    EXPECT_EQ(report.value.unsupported & kUnsupportedBaudRate, 0u) << rate;
  }
}

TEST_F(TermiosDevice, RefusesImpossibleSettingsAndKeepsThePreviousOnes) {
  SerialLineSettings good;
  good.stop_bits = SerialStopBits::kTwo;
  ASSERT_EQ(device_.Configure(good).error, 0);
  SerialLineSettings four_bits;
  four_bits.byte_size = 4;
  SerialLineSettings no_rate;
  no_rate.baud_rate = 0;
  SerialLineSettings same_chars;
  same_chars.out_x = true;
  same_chars.xon_char = same_chars.xoff_char = 0x13;
  for (const SerialLineSettings& bad : {four_bits, no_rate, same_chars}) {
    EXPECT_EQ(device_.Configure(bad).error, EINVAL);
  }
  EXPECT_EQ(device_.LineSettings(), good);
  EXPECT_NE(SlaveTermios().c_cflag & CSTOPB, 0u);
}

TEST_F(TermiosDevice, ReportsWhatTermiosCannotDoWithoutFailing) {
  const struct {
    const char* what;
    void (*change)(SerialLineSettings&);
    uint32_t bit;
  } kCases[] = {
      {"1.5 stop bits on 8 bits",
       [](SerialLineSettings& s) { s.stop_bits = SerialStopBits::kOneAndHalf; },
       kUnsupportedStopBits},
      {"text mode", [](SerialLineSettings& s) { s.binary = false; }, kUnsupportedBinaryOff},
      {"DSR flow", [](SerialLineSettings& s) { s.outx_dsr_flow = true; }, kUnsupportedDsrFlow},
      {"DTR handshake", [](SerialLineSettings& s) { s.dtr_control = SerialDtrControl::kHandshake; },
       kUnsupportedDtrHandshake},
      {"DSR sensitivity", [](SerialLineSettings& s) { s.dsr_sensitivity = true; },
       kUnsupportedDsrSensitivity},
      {"stop on XOFF", [](SerialLineSettings& s) { s.tx_continue_on_xoff = false; },
       kUnsupportedTxStopOnXoff},
      {"error char", [](SerialLineSettings& s) { s.error_char_replace = true; },
       kUnsupportedErrorChar},
      {"null strip", [](SerialLineSettings& s) { s.null_strip = true; }, kUnsupportedNullStrip},
      {"abort on error", [](SerialLineSettings& s) { s.abort_on_error = true; },
       kUnsupportedAbortOnError},
      {"XOFF limits", [](SerialLineSettings& s) { s.in_x = true; }, kUnsupportedFlowLimits},
      {"CTS without RTS handshake", [](SerialLineSettings& s) { s.outx_cts_flow = true; },
       kUnsupportedCtsRtsSplit},
      {"RTS toggle on a pty",
       [](SerialLineSettings& s) { s.rts_control = SerialRtsControl::kToggle; },
       kUnsupportedRtsToggle},
      {"DTR on a pty", [](SerialLineSettings&) {}, kUnsupportedModemControl},
  };
  for (const auto& c : kCases) {
    SerialLineSettings s;
    c.change(s);
    const ErrnoResult<SerialConfigureReport> report = device_.Configure(s);
    EXPECT_EQ(report.error, 0) << c.what;
    EXPECT_NE(report.value.unsupported & c.bit, 0u) << c.what;
    EXPECT_EQ(device_.LineSettings(), s) << c.what;
  }
  // The defaults ask for nothing termios lacks beyond the modem lines a pty has not got.
  EXPECT_EQ(device_.Configure(SerialLineSettings{}).value.unsupported, kUnsupportedModemControl);
}

TEST_F(TermiosDevice, PtyHasNoModemFunctionsButDataFlowsBothWays) {
  EXPECT_EQ(device_.ModemStatus().error, kSerialNotSupported);
  for (SerialEscape e : {SerialEscape::kSetDtr, SerialEscape::kClrDtr, SerialEscape::kSetRts,
                         SerialEscape::kClrRts}) {
    EXPECT_EQ(device_.Escape(e), kSerialNotSupported);
  }
  EXPECT_EQ(device_.Escape(SerialEscape::kSetBreak), 0);
  EXPECT_EQ(device_.Escape(SerialEscape::kClrBreak), 0);
  ASSERT_EQ(device_.Configure(SerialLineSettings{}).error, 0);

  const std::string to_device = std::string("hello\0\r\n\xff", 9);
  pty_.Write(to_device);
  EXPECT_EQ(ReadBlock(), to_device);

  const std::string from_device = std::string("\x11\x13\0\n\r", 5) + "world";
  const ErrnoResult<size_t> written = device_.Write(from_device, -1);
  EXPECT_EQ(written.error, 0);
  EXPECT_EQ(written.value, from_device.size());
  EXPECT_EQ(pty_.Read(from_device.size(), kPatience), from_device);
}

TEST_F(TermiosDevice, OpenIsExclusiveUntilClosed) {
  TermiosSerialDevice second;
  const SerialOpenResult busy = second.Open(pty_.slave_path());
  EXPECT_EQ(busy.error, EBUSY);
  EXPECT_NE(busy.message.find(pty_.slave_path()), std::string::npos);
  EXPECT_NE(busy.message.find("in use"), std::string::npos);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(device_.Open(pty_.slave_path()).error, EALREADY);
  device_.Close();
  EXPECT_TRUE(second.Open(pty_.slave_path()).ok());
}

TEST(TermiosDeviceOpen, RefusesWhatIsNotASerialDevice) {
  char file_path[] = "/tmp/kestrova-not-a-tty-XXXXXX";
  const int file = mkstemp(file_path);
  ASSERT_GE(file, 0);
  close(file);
  const struct {
    std::string path;
    int error;
  } kCases[] = {{"/dev/null", ENOTTY}, {file_path, ENOTTY}, {"/dev/kestrova-no-such-tty", ENOENT}};
  for (const auto& c : kCases) {
    TermiosSerialDevice device;
    const SerialOpenResult result = device.Open(c.path);
    EXPECT_EQ(result.error, c.error) << c.path;
    EXPECT_NE(result.message.find(c.path), std::string::npos) << result.message;
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.Read(std::span<char>(), -1).error, EBADF);
  }
  unlink(file_path);
}

// Bytes that come close together are one block; a pause longer than the interval ends it, so
// the read returns while nothing more is coming. A loaded machine may stall the writer between
// its bursts, so the bursts may come as several blocks, each made of whole writes.
TEST_F(TermiosDevice, ReadIntervalSplitsBlocksAtPauses) {
  SerialTimeouts t;
  t.read_interval = 10;
  ASSERT_EQ(device_.SetTimeouts(t), 0);
  std::jthread peer([this] {
    for (int i = 0; i < 5; ++i) {
      pty_.Write("burst");
      std::this_thread::sleep_for(milliseconds(1));
    }
  });
  std::string bursts;
  while (bursts.size() < 25) {
    ASSERT_TRUE(device_.Wait(0, -1, kPatience).value.readable);
    const std::string block = ReadBlock();
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(block.size() % 5, 0u) << block;
    bursts += block;
  }
  peer.join();
  EXPECT_EQ(bursts, "burstburstburstburstburst");
  pty_.Write("late");
  ASSERT_TRUE(device_.Wait(0, -1, kPatience).value.readable);
  EXPECT_EQ(ReadBlock(), "late");
}

TEST_F(TermiosDevice, TotalConstantEndsAReadAfterItsTimeOrAFullBuffer) {
  SerialTimeouts t;
  t.read_total_constant = 50;
  ASSERT_EQ(device_.SetTimeouts(t), 0);
  pty_.Write("x");
  const auto start = Clock::now();
  EXPECT_EQ(ReadBlock(), "x");
  const auto took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(45));
  EXPECT_LT(took, milliseconds(2000));

  pty_.Write(std::string(3000, 'y'));
  const auto full_start = Clock::now();
  EXPECT_EQ(ReadBlock().size(), 2048u);
  EXPECT_LT(Clock::now() - full_start, milliseconds(45));
}

TEST_F(TermiosDevice, ImmediateAndFirstByteModes) {
  SerialTimeouts at_once;
  at_once.read_interval = SerialTimeouts::kMaxTimeout;
  ASSERT_EQ(device_.SetTimeouts(at_once), 0);
  EXPECT_EQ(ReadBlock(), "");

  SerialTimeouts first_byte = at_once;
  first_byte.read_total_multiplier = SerialTimeouts::kMaxTimeout;
  first_byte.read_total_constant = 40;
  ASSERT_EQ(device_.SetTimeouts(first_byte), 0);
  auto start = Clock::now();
  EXPECT_EQ(ReadBlock(), "");
  EXPECT_GE(Clock::now() - start, milliseconds(35));
  std::thread peer([this] {
    std::this_thread::sleep_for(milliseconds(10));
    pty_.Write("q");
  });
  first_byte.read_total_constant = 5000;
  ASSERT_EQ(device_.SetTimeouts(first_byte), 0);
  start = Clock::now();
  EXPECT_EQ(ReadBlock(), "q");
  EXPECT_LT(Clock::now() - start, milliseconds(2500));
  peer.join();
}

TEST_F(TermiosDevice, CloseEventEndsAWaitingReadWaitAndWrite) {
  Event close_event(Event::Mode::kManualReset);
  std::thread closer([&] {
    std::this_thread::sleep_for(milliseconds(30));
    close_event.Set();
  });
  std::string buffer(2048, '\0');
  EXPECT_EQ(device_.Read(buffer, close_event.fd()).error, kSerialAborted);
  EXPECT_EQ(device_.Wait(kEvAll, close_event.fd(), kPatience).error, kSerialAborted);
  closer.join();

  // Nobody reads the master: the pty fills up and the write waits, until aborted.
  Event stop(Event::Mode::kManualReset);
  std::thread stopper([&] {
    // Stop only once the write is under way.
    int queued = 0;
    while (ioctl(pty_.master(), FIONREAD, &queued) == 0 && queued == 0) {
      std::this_thread::sleep_for(milliseconds(1));
    }
    std::this_thread::sleep_for(milliseconds(20));
    stop.Set();
  });
  const std::string big(1 << 20, 'w');
  const ErrnoResult<size_t> written = device_.Write(big, stop.fd());
  stopper.join();
  EXPECT_EQ(written.error, kSerialAborted);
  EXPECT_GT(written.value, 0u);
  EXPECT_LT(written.value, big.size());
  EXPECT_EQ(device_.Purge(kPurgeTxAbort | kPurgeTxClear), 0);
}

TEST_F(TermiosDevice, WriteTimeLimitReturnsFewerBytes) {
  SerialTimeouts t;
  t.write_total_constant = 40;
  ASSERT_EQ(device_.SetTimeouts(t), 0);
  const std::string big(1 << 20, 'w');
  const auto start = Clock::now();
  const ErrnoResult<size_t> written = device_.Write(big, -1);
  EXPECT_EQ(written.error, 0);
  EXPECT_LT(written.value, big.size());
  EXPECT_GE(Clock::now() - start, milliseconds(35));
}

TEST_F(TermiosDevice, WaitReportsDataEventCharAndOutputEmptyButNoModemEventsOnAPty) {
  SerialLineSettings s;
  s.evt_char = '\n';
  ASSERT_EQ(device_.Configure(s).error, 0);
  const uint32_t mask = kEvAll;

  const ErrnoResult<SerialWaitResult> idle = device_.Wait(mask, -1, milliseconds(30));
  EXPECT_EQ(idle.error, 0);
  EXPECT_EQ(idle.value.events, 0u);
  EXPECT_FALSE(idle.value.readable);

  pty_.Write("line\n");
  const ErrnoResult<SerialWaitResult> data = device_.Wait(mask, -1, kPatience);
  EXPECT_TRUE(data.value.readable);
  EXPECT_EQ(data.value.events, kEvRxChar);
  EXPECT_EQ(ReadBlock(), "line\n");
  EXPECT_EQ(device_.Wait(mask, -1, kPatience).value.events, kEvRxFlag);
  // Only asked-for events are reported.
  pty_.Write("x\n");
  EXPECT_EQ(ReadBlock(), "x\n");
  EXPECT_EQ(device_.Wait(kEvRxChar, -1, milliseconds(20)).value.events, 0u);

  ASSERT_EQ(device_.Write("out", -1).value, 3u);
  EXPECT_EQ(pty_.Read(3, kPatience), "out");
  const ErrnoResult<SerialWaitResult> empty = device_.Wait(kEvTxEmpty, -1, kPatience);
  EXPECT_EQ(empty.value.events, kEvTxEmpty);
  EXPECT_EQ(device_.Wait(kEvTxEmpty, -1, milliseconds(20)).value.events, 0u);
}

TEST_F(TermiosDevice, QueueLevelsPurgeAndNoLineErrorsOnAPty) {
  pty_.Write("12345");
  ASSERT_TRUE(device_.Wait(0, -1, kPatience).value.readable);
  ErrnoResult<SerialErrorState> state = device_.ClearErrors();
  ASSERT_EQ(state.error, 0);
  EXPECT_EQ(state.value.errors, 0u);
  EXPECT_EQ(state.value.in_queue, 5u);
  EXPECT_EQ(device_.Purge(kPurgeRxAbort | kPurgeRxClear), 0);
  EXPECT_EQ(device_.ClearErrors().value.in_queue, 0u);
}

TEST_F(TermiosDevice, PeerClosingIsAHangUp) {
  pty_.Write("last");
  pty_.CloseMaster();
  const ErrnoResult<SerialWaitResult> woke = device_.Wait(kEvAll, -1, kPatience);
  EXPECT_EQ(woke.error, 0);
  EXPECT_TRUE(woke.value.readable);
  std::string buffer(2048, '\0');
  ErrnoResult<size_t> got = device_.Read(buffer, -1);
  if (got.error == 0 && got.value > 0) got = device_.Read(buffer, -1);
  EXPECT_EQ(got.error, kSerialHungUp);
}

}  // namespace
}  // namespace kestrova
