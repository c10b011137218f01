// The simulated device must behave like a port where component tests rely on it.
#include "support/simulated_serial_device.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/event.h"

namespace kestrova::testing {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kPatience(5000);

class SimulatedDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device_.Open("/dev/ttySIM0").ok());
    SerialTimeouts t;
    t.read_interval = 10;
    ASSERT_EQ(device_.SetTimeouts(t), 0);
  }
  std::string ReadBlock() {
    std::string buffer(2048, '\0');
    const ErrnoResult<size_t> got = device_.Read(buffer, -1);
    EXPECT_EQ(got.error, 0);
    buffer.resize(got.value);
    return buffer;
  }

  std::shared_ptr<SimulatedSerialLine> line_ = std::make_shared<SimulatedSerialLine>();
  SimulatedSerialDevice device_{line_};
};

TEST_F(SimulatedDevice, ModemChangesErrorsAndBreaksBecomeMaskedEvents) {
  line_->SetCts(true);
  line_->SetRing(true);
  line_->InjectErrors(kCeFrame | kCeOverrun);
  line_->InjectBreak();
  ErrnoResult<SerialWaitResult> woke = device_.Wait(kEvAll, -1, kPatience);
  EXPECT_EQ(woke.value.events, kEvCts | kEvRing | kEvErr | kEvBreak);
  EXPECT_EQ(device_.ModemStatus().value, kMsCtsOn | kMsRingOn);
  EXPECT_EQ(device_.ClearErrors().value.errors, kCeFrame | kCeOverrun | kCeBreak);
  EXPECT_EQ(device_.ClearErrors().value.errors, 0u);

  line_->SetModemStatus(0x54320000 | kMsDsrOn);
  woke = device_.Wait(kEvCts, -1, kPatience);  // DSR not asked for: CTS fell
  EXPECT_EQ(woke.value.events, kEvCts);
  EXPECT_EQ(device_.ModemStatus().value, 0x54320000u | kMsDsrOn);
  EXPECT_EQ(device_.Wait(kEvAll, -1, milliseconds(20)).value.events, 0u);
}

TEST_F(SimulatedDevice, DataHonoursTheReadIntervalAndEndsInAHangUp) {
  std::thread peer([this] {
    line_->Receive("ab");
    std::this_thread::sleep_for(milliseconds(1));
    line_->Receive("cd");
    std::this_thread::sleep_for(milliseconds(100));
    line_->Receive("ef");
    line_->HangUp();
  });
  ASSERT_TRUE(device_.Wait(0, -1, kPatience).value.readable);
  const std::string first = ReadBlock();
  ASSERT_TRUE(device_.Wait(0, -1, kPatience).value.readable);
  std::string rest = ReadBlock();
  peer.join();
  EXPECT_EQ(first + rest, "abcdef");
  EXPECT_EQ(rest.substr(rest.size() - 2), "ef");
  std::string buffer(16, '\0');
  EXPECT_EQ(device_.Read(buffer, -1).error, kSerialHungUp);
}

TEST_F(SimulatedDevice, WaitNotSupportedStillWaitsForData) {
  line_->SetWaitSupported(false);
  EXPECT_EQ(device_.Wait(kEvAll, -1, kPatience).error, kSerialNotSupported);
  line_->Receive("x");
  EXPECT_TRUE(device_.Wait(0, -1, kPatience).value.readable);
}

TEST_F(SimulatedDevice, HeldWritesWaitUntilReleasedOrAborted) {
  line_->HoldWrites(true);
  Event close_event(Event::Mode::kManualReset);
  std::thread writer(
      [&] { EXPECT_EQ(device_.Write("lost", close_event.fd()).error, kSerialAborted); });
  ASSERT_TRUE(line_->WaitForHeldWrite(kPatience));
  close_event.Set();
  writer.join();
  std::thread second([&] { EXPECT_EQ(device_.Write("kept", -1).value, 4u); });
  ASSERT_TRUE(line_->WaitForHeldWrite(kPatience));
  line_->HoldWrites(false);
  second.join();
  EXPECT_EQ(line_->Sent(), "kept");
  EXPECT_EQ(device_.Wait(kEvTxEmpty, -1, kPatience).value.events, kEvTxEmpty);
}

TEST_F(SimulatedDevice, OneOpenAtATimeAndScriptedFailures) {
  SimulatedSerialDevice second(line_);
  EXPECT_EQ(second.Open("/dev/ttySIM0").error, EBUSY);
  device_.Close();
  line_->SetOpenError(EACCES);
  const SerialOpenResult denied = second.Open("/dev/ttySIM0");
  EXPECT_EQ(denied.error, EACCES);
  EXPECT_NE(denied.message.find("dialout"), std::string::npos);
  line_->SetOpenError(0);
  ASSERT_TRUE(second.Open("/dev/ttySIM0").ok());
  EXPECT_EQ(line_->open_count(), 2);
  line_->SetModemError(kSerialNotSupported);
  EXPECT_EQ(second.ModemStatus().error, kSerialNotSupported);
  EXPECT_EQ(second.Escape(SerialEscape::kSetDtr), kSerialNotSupported);
  EXPECT_NE(second.Configure(SerialLineSettings{}).value.unsupported & kUnsupportedModemControl,
            0u);
}

}  // namespace
}  // namespace kestrova::testing
