// The serial component on a simulated line: line events, errors, modem polling, missing
// driver functions, programming of the line and closing while a write is stuck.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "serial/comm_errors.h"
#include "serial/comm_read_thread.h"
#include "serial/serial_comm_map.h"
#include "serial_test_support.h"
#include "support/simulated_serial_device.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::CommRecorder;
using testing::MainLoopScope;
using testing::SimulatedSerialDevice;
using testing::SimulatedSerialLine;

constexpr milliseconds kLimit{10000};

class CommSimulatedTest : public ::testing::Test {
 protected:
  CommSimulatedTest() {
    comm_->SetAutoReconnect(false);
    comm_->SetDeviceFactory(
        [line = line_] { return std::make_unique<SimulatedSerialDevice>(line); });
    comm_->SetCommPort("ttySIM0");
    loop_.RunFor(milliseconds(5));
  }

  // Records the component's own events by name, in order.
  void RecordLineEvents() {
    auto note = [this](const char* name) {
      return [this, name](Object*) { events_.push_back(name); };
    };
    auto note_level = [this](const char* name) {
      return [this, name](Object*, bool level) {
        events_.push_back(std::string(name) + (level ? "+" : "-"));
      };
    };
    comm_->OnBreak() = note("Break");
    comm_->OnErrorFrame() = note("Frame");
    comm_->OnErrorOverrun() = note("Overrun");
    comm_->OnErrorParity() = note("Parity");
    comm_->OnErrorBreak() = note("ErrorBreak");
    comm_->OnErrorOther() = [this](Object*, uint32_t errors) {
      events_.push_back("Other" + std::to_string(errors));
    };
    comm_->OnChangedCTS() = note_level("CTS");
    comm_->OnChangedDSR() = note_level("DSR");
    comm_->OnRing() = note_level("Ring");
    comm_->OnChangedRLSD() = note_level("RLSD");
  }

  bool RunUntilEvents(size_t count) {
    return loop_.RunUntil([&] { return events_.size() >= count; }, kLimit);
  }

  MainLoopScope scope_;
  PollMessageLoop& loop_ = scope_.loop;
  std::shared_ptr<SimulatedSerialLine> line_ = std::make_shared<SimulatedSerialLine>();
  // What handlers record outlives the component, which may still report while destroyed.
  std::vector<std::string> events_;
  int rx_chars_ = 0;
  std::vector<ChannelKey> channels_;
  std::unique_ptr<TVSSComm32> comm_ = std::make_unique<TVSSComm32>(nullptr);
};

TEST_F(CommSimulatedTest, ModemLineChangesFireInOrderWithTheNewLevels) {
  RecordLineEvents();
  ASSERT_TRUE(comm_->StartComm());
  line_->SetModemStatus(kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn);
  ASSERT_TRUE(RunUntilEvents(4));
  line_->SetModemStatus(kMsCtsOn | kMsRlsdOn);
  ASSERT_TRUE(RunUntilEvents(6));
  line_->SetModemStatus(0);
  ASSERT_TRUE(RunUntilEvents(8));
  loop_.RunFor(milliseconds(50));
  EXPECT_EQ(events_, (std::vector<std::string>{"CTS+", "DSR+", "Ring+", "RLSD+", "DSR-", "Ring-",
                                               "CTS-", "RLSD-"}));
  EXPECT_EQ(comm_->PollModemStatus(), 0u);
}

TEST_F(CommSimulatedTest, LineErrorsFireTheirEventsAndTheRestAsOther) {
  RecordLineEvents();
  ASSERT_TRUE(comm_->StartComm());
  line_->InjectErrors(kCeRxParity | kCeFrame | kCeRxOver | kCeOverrun);
  ASSERT_TRUE(RunUntilEvents(4));
  EXPECT_EQ(events_, (std::vector<std::string>{"Frame", "Overrun", "Parity",
                                               "Other" + std::to_string(kCeRxOver)}));
  events_.clear();
  line_->InjectBreak();
  ASSERT_TRUE(RunUntilEvents(1));
  line_->InjectErrors(kCeFrame);
  ASSERT_TRUE(RunUntilEvents(3));
  EXPECT_EQ(events_, (std::vector<std::string>{"Break", "Frame", "ErrorBreak"}));
}

TEST_F(CommSimulatedTest, StatusWordWithUpperBitsIsDeliveredByThePolls) {
  RecordLineEvents();
  ASSERT_TRUE(comm_->StartComm());
  // The reader drops such words as garbage; the modem poll passes them on at every poll.
  line_->SetModemStatus(0x00030000 | kMsCtsOn);
  ASSERT_TRUE(RunUntilEvents(1));
  line_->SetModemStatus(0x00030000 | kMsCtsOn | kMsDsrOn);
  ASSERT_TRUE(RunUntilEvents(2));
  EXPECT_EQ(events_, (std::vector<std::string>{"CTS+", "DSR+"}));
  EXPECT_EQ(comm_->PollModemStatus(), kMsCtsOn | kMsDsrOn);

  // The word some drivers give for a call they did not carry out changes nothing.
  line_->SetModemStatus(0xEE054233);
  loop_.RunFor(milliseconds(200));
  EXPECT_EQ(events_.size(), 2u);
  EXPECT_TRUE(comm_->Connected());
}

TEST_F(CommSimulatedTest, DriverWithoutLineEventsStillDeliversData) {
  comm_->OnRxChar() = [this](Object*) { ++rx_chars_; };
  CommRecorder seen(*comm_);
  line_->SetWaitSupported(false);
  ASSERT_TRUE(comm_->StartComm());
  line_->Receive("data");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "data"; }, kLimit));
  line_->Receive(" more");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "data more"; }, kLimit));
  EXPECT_EQ(rx_chars_, 0);
  EXPECT_TRUE(comm_->Connected());
}

TEST_F(CommSimulatedTest, EverySkippedEventLeavesOnlyData) {
  comm_->OnRxChar() = [this](Object*) { ++rx_chars_; };
  RecordLineEvents();
  CommRecorder seen(*comm_);
  comm_->Options().SetSkipEvents(VSSComm32SkipEvents::FromBits(0x1FF));
  ASSERT_TRUE(comm_->StartComm());
  line_->InjectErrors(kCeFrame);
  line_->Receive("x");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "x"; }, kLimit));
  loop_.RunFor(milliseconds(50));
  EXPECT_EQ(rx_chars_, 0);
  EXPECT_TRUE(events_.empty());
}

TEST_F(CommSimulatedTest, ReceivedCharactersRaiseRxChar) {
  comm_->OnRxChar() = [this](Object*) { ++rx_chars_; };
  ASSERT_TRUE(comm_->StartComm());
  line_->Receive("abc");
  EXPECT_TRUE(loop_.RunUntil([&] { return rx_chars_ > 0; }, kLimit));
}

TEST_F(CommSimulatedTest, ClosingDuringAStuckWritePurgesAndDropsTheRest) {
  ASSERT_TRUE(comm_->StartComm());
  line_->HoldWrites(true);
  ASSERT_TRUE(comm_->WriteCommData(std::string(5000, 'a')));
  ASSERT_TRUE(comm_->WriteCommData("queued behind"));
  ASSERT_TRUE(line_->WaitForHeldWrite(kLimit));
  comm_->StopComm();
  line_->HoldWrites(false);
  EXPECT_EQ(line_->Sent(), "");
  const std::vector<uint32_t> purges = line_->purges();
  EXPECT_NE(std::find(purges.begin(), purges.end(), kPurgeTxAbort | kPurgeTxClear), purges.end());
  EXPECT_FALSE(line_->IsOpen());
  EXPECT_FALSE(comm_->WriteCommData("late"));
}

TEST_F(CommSimulatedTest, WritesGoOutWholeAndInOrder) {
  ASSERT_TRUE(comm_->StartComm());
  ASSERT_TRUE(comm_->WriteCommData("first "));
  ASSERT_TRUE(comm_->WriteCommData(""));  // nothing to write, and the writer carries on
  ASSERT_TRUE(comm_->WriteCommData("second"));
  ASSERT_TRUE(line_->WaitForSent(12, kLimit));
  EXPECT_EQ(line_->Sent(), "first second");
}

struct FailureCase {
  const char* name;
  void (*inject)(SimulatedSerialLine& line, TVSSComm32& comm);
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class CommFailureTest : public CommSimulatedTest,
                        public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CommFailureTest, UnrecoverableErrorClosesThePortAsFailed) {
  CommRecorder seen(*comm_);
  ASSERT_TRUE(comm_->StartComm());
  GetParam().inject(*line_, *comm_);
  ASSERT_TRUE(loop_.RunUntil([&] { return !comm_->Connected(); }, kLimit));
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(comm_->GetCommState(), CommStateFailed);
  ASSERT_FALSE(seen.states.empty());
  EXPECT_EQ(seen.states.back(), CommStateFailed);
  EXPECT_FALSE(line_->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CommFailureTest,
    ::testing::Values(
        FailureCase{"HangUp", [](SimulatedSerialLine& line, TVSSComm32&) { line.HangUp(); }},
        FailureCase{"ReadError",
                    [](SimulatedSerialLine& line, TVSSComm32&) {
                      line.SetReadError(EIO);
                      line.Receive("x");
                    }},
        FailureCase{"WriteError",
                    [](SimulatedSerialLine& line, TVSSComm32& comm) {
                      line.SetWriteError(EIO);
                      comm.WriteCommData("x");
                    }},
        FailureCase{"ModemStatusError",
                    [](SimulatedSerialLine& line, TVSSComm32&) { line.SetModemError(EIO); }}),
    [](const ::testing::TestParamInfo<FailureCase>& param_info) { return param_info.param.name; });

TEST_F(CommSimulatedTest, LineIsProgrammedFromTheProperties) {
  ASSERT_TRUE(comm_->StartComm());
  comm_->SetBaudRate(TBaudRate::_921600);
  comm_->SetDataBits(TDataBits::_4);
  comm_->SetParity(TParity::Mark);
  comm_->SetStopBits(TStopBits::_1_5);
  comm_->Signals().SetDTRControl(VMurSignalControl_DTRHandshake);
  comm_->Signals().SetRTSControl(VMurSignalControl_RTSToggle);
  comm_->Signals().SetCTSHandshake(true);
  comm_->Signals().SetXOnOffReceive(true);
  comm_->Chars().SetXOn('Q');
  comm_->Chars().SetEvt('\n');
  comm_->Timeouts().SetValue(VSSComm32Timeouts::kReadTotalConst, 50);
  comm_->Timeouts().SetValue(VSSComm32Timeouts::kWriteTotalMult, 3);

  const SerialLineSettings line = line_->settings();
  EXPECT_EQ(line.baud_rate, 921600u);
  EXPECT_EQ(line.byte_size, 8) << "four data bits run the line with eight";
  EXPECT_EQ(line.parity, SerialParity::kMark);
  EXPECT_EQ(line.stop_bits, SerialStopBits::kOneAndHalf);
  EXPECT_EQ(line.dtr_control, SerialDtrControl::kHandshake);
  EXPECT_EQ(line.rts_control, SerialRtsControl::kToggle);
  EXPECT_TRUE(line.outx_cts_flow);
  EXPECT_FALSE(line.outx_dsr_flow);
  EXPECT_TRUE(line.in_x);
  EXPECT_FALSE(line.out_x);
  EXPECT_EQ(line.xon_char, 'Q');
  EXPECT_EQ(line.xoff_char, 19);
  EXPECT_EQ(line.evt_char, '\n');
  EXPECT_EQ(line.xon_lim, 2048);
  EXPECT_EQ(line.xoff_lim, 512);
  EXPECT_TRUE(line.binary);
  EXPECT_TRUE(line.tx_continue_on_xoff);
  EXPECT_FALSE(line.parity_check);
  EXPECT_FALSE(line.abort_on_error);
  const SerialTimeouts timeouts = line_->timeouts();
  EXPECT_EQ(timeouts.read_interval, 10u);
  EXPECT_EQ(timeouts.read_total_constant, 50u);
  EXPECT_EQ(timeouts.read_total_multiplier, 0u);
  EXPECT_EQ(timeouts.write_total_multiplier, 3u);
  EXPECT_EQ(comm_->GetConfigAsString(),
            R"("ttySIM0","921600","4","1.5","Mark","2/1 3/1","10 50 0 0 3")");
}

TEST_F(CommSimulatedTest, ControlLevelsFollowTheSignals) {
  ASSERT_TRUE(comm_->StartComm());
  comm_->Signals().SetDTR(false);
  comm_->Signals().SetRTS(false);
  EXPECT_FALSE(line_->dtr());
  EXPECT_FALSE(line_->rts());
  comm_->Signals().SetDTR(true);
  EXPECT_TRUE(line_->dtr());
  EXPECT_EQ(line_->escapes().back(), SerialEscape::kSetDtr);
}

TEST_F(CommSimulatedTest, SettingsOfAClosedPortOpenItOnlyWithAutoReconnect) {
  comm_->SetBaudRate(TBaudRate::_57600);
  EXPECT_EQ(line_->open_count(), 0);
  EXPECT_FALSE(comm_->Connected());
  comm_->SetAutoReconnect(true);
  EXPECT_EQ(line_->open_count(), 1);
  comm_->StopComm();
  comm_->SetParity(TParity::Odd);
  EXPECT_EQ(line_->open_count(), 2);
  EXPECT_EQ(line_->settings().parity, SerialParity::kOdd);
  EXPECT_EQ(line_->settings().baud_rate, 57600u);
}

TEST_F(CommSimulatedTest, StateReportedOncePerChange) {
  CommRecorder seen(*comm_);
  ASSERT_TRUE(comm_->StartComm());
  comm_->UpdateDCB2();
  comm_->SetOnStateChange(comm_->OnStateChange());  // a handler attached again: asks once more
  loop_.RunFor(milliseconds(20));
  // The posted reports resolve to the state when they are handled: one report.
  EXPECT_EQ(seen.states, (std::vector<TCommState>{CommStateConnected}));
  comm_->StopComm();
  comm_->StopComm();
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(seen.states, (std::vector<TCommState>{CommStateConnected, CommStateDisconnected}));
}

TEST_F(CommSimulatedTest, AdvancedStateEventNamesTheComponent) {
  comm_->SetOnAdvancedStateChange([this](VMurCommunicationComponent*, ChannelKey channel,
                                         TCommState) { channels_.push_back(channel); });
  ASSERT_TRUE(comm_->StartComm());
  loop_.RunFor(milliseconds(20));
  ASSERT_EQ(channels_.size(), 1u);
  EXPECT_EQ(channels_[0], ChannelKey(comm_.get())) << "whatever TreatMainChannelAsNil says";
}

TEST_F(CommSimulatedTest, DestroyingAnOpenPortWithTrafficIsClean) {
  ASSERT_TRUE(comm_->StartComm());
  CommRecorder* seen = new CommRecorder(*comm_);
  line_->Receive(std::string(100000, 'z'));
  ASSERT_TRUE(comm_->WriteCommData(std::string(100000, 'y')));
  loop_.RunFor(milliseconds(5));
  delete seen;
  comm_.reset();
  EXPECT_FALSE(line_->IsOpen());
}

TEST_F(CommSimulatedTest, AssignCopiesSettingsAndHandlersButNotPortOrGrab) {
  TVSSComm32 source(nullptr);
  source.SetAutoReconnect(false);
  source.SetConfigAsString(R"("elsewhere","2400","7","2","Even","2/0 3/0","1 2 3 4 5")");
  source.Options().SetEnhancedName(TristateFalse);
  source.Chars().SetXOff('S');
  source.SetTreatMainChannelAsNil(false);
  source.OnBreak() = [this](Object*) { events_.push_back("Break"); };
  source.SetOnReceiveData([](VMurCommunicationComponent*, std::string_view) {});

  comm_->Assign(source);
  EXPECT_EQ(comm_->CommPort(), "ttySIM0");
  EXPECT_EQ(comm_->GetConfigAsString(), R"("ttySIM0","2400","7","2","Even","2/0 3/0","1 2 3 4 5")");
  EXPECT_EQ(comm_->Options().EnhancedName(), TristateFalse);
  EXPECT_EQ(comm_->Chars().XOff(), 'S');
  EXPECT_FALSE(comm_->TreatMainChannelAsNil());
  EXPECT_TRUE(comm_->OnReceiveData());
  ASSERT_TRUE(comm_->OnBreak());
  comm_->OnBreak()(comm_.get());
  EXPECT_EQ(events_, std::vector<std::string>{"Break"});
  EXPECT_FALSE(comm_->AutoReconnect());
}

TEST(CommTimeoutsTest, IndexOutsideTheFiveIsARangeError) {
  VSSComm32Timeouts timeouts;
  EXPECT_THROW(timeouts.Value(5), ESerialRangeError);
  EXPECT_THROW(timeouts.SetValue(-1, 1), ESerialRangeError);
  timeouts.SetValue(VSSComm32Timeouts::kWriteTotalMult, 7);
  EXPECT_EQ(timeouts.WriteTotalMult(), 7u);
}

TEST(CommPortPathTest, LongPathPrefixAsTheOptionSays) {
  struct Case {
    const char* port;
    Tristate enhanced;
    const char* path;
  };
  const Case cases[] = {
      {"COM5", TristateTrue, R"(\\?\COM5)"}, {R"(\\?\COM5)", TristateTrue, R"(\\?\COM5)"},
      {"CO", TristateTrue, R"(\\?\CO)"},     {"COM5", TristateUnkn, R"(\\?\COM5)"},
      {"COM5", TristateFalse, "COM5"},       {R"(\\?\COM5)", TristateFalse, R"(\\?\COM5)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TVSSComm32::PortPath(c.port, c.enhanced), c.path) << c.port;
  }
}

TEST(CommEventMaskTest, DriversAndSkippedEventsNarrowTheMask) {
  struct Case {
    const char* device;
    VSSComm32SkipEvents skip;
    uint32_t mask;
  };
  const Case cases[] = {
      {"SERIAL0", {}, kEvAll},
      {"?", {vsceERR, vsceRXCHAR}, kEvAll & ~(kEvErr | kEvRxChar)},
      {"BTPORT0", {}, kEvAll & ~kEvTxEmpty},
      {"S0016MDM1", {}, kEvAll & ~kEvTxEmpty},
      {"S0016MGMT", {}, kEvAll & ~kEvTxEmpty},
      {"S0016OBEX", {}, kEvAll & ~kEvTxEmpty},
      {"SILABSER0", {vsceRING}, kEvAll & ~(kEvBreak | kEvRing)},
      {"USBSER000", VSSComm32SkipEvents::FromBits(0x1FF), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TReadThread::EventMask(c.device, c.skip), c.mask) << c.device;
  }
}

// A sysfs tree with one cdc_acm port, whose device name begins with "USBSER00".
class FakeAcmSysfs {
 public:
  FakeAcmSysfs() {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/kestrova-acm-XXXXXX";
    root_ = mkdtemp(pattern);
    const fs::path device = root_ / "devices" / "usb1" / "1-1:1.0";
    fs::create_directories(device);
    fs::create_directories(root_ / "bus" / "usb" / "drivers" / "cdc_acm");
    fs::create_directory_symlink(root_ / "bus" / "usb" / "drivers" / "cdc_acm", device / "driver");
    fs::create_directory_symlink(root_ / "bus" / "usb", device / "subsystem");
    fs::create_directories(root_ / "class" / "tty" / "ttyACM0");
    fs::create_directory_symlink(device, root_ / "class" / "tty" / "ttyACM0" / "device");
    SetSerialCommSysfsRoot(root_.string());
  }
  ~FakeAcmSysfs() {
    SetSerialCommSysfsRoot("");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::filesystem::path root_;
};

TEST_F(CommSimulatedTest, AdapterThatHangsUpOnLowDtrKeepsItHigh) {
  FakeAcmSysfs sysfs;
  comm_->SetCommPort("ttyACM0");
  ASSERT_TRUE(comm_->StartComm());
  ASSERT_EQ(comm_->DeviceName().substr(0, 8), "USBSER00");
  comm_->Signals().SetDTR(false);
  EXPECT_FALSE(comm_->Signals().DTR());
  EXPECT_TRUE(line_->dtr());
  EXPECT_EQ(line_->escapes().back(), SerialEscape::kSetDtr);
}

}  // namespace
}  // namespace kestrova
