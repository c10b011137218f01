#include "platform/serial_transfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/event.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kMax = SerialTimeouts::kMaxTimeout;

SerialTimeouts ReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
  SerialTimeouts t;
  t.read_interval = interval;
  t.read_total_multiplier = multiplier;
  t.read_total_constant = constant;
  return t;
}

TEST(PlanRead, FollowsTheClassicTimeoutRules) {
  const struct {
    SerialTimeouts timeouts;
    size_t size;
    bool at_once;
    bool first_byte;
    std::optional<milliseconds> total;
    std::optional<milliseconds> interval;
  } kCases[] = {
      {ReadTimeouts(0, 0, 0), 2048, false, false, std::nullopt, std::nullopt},
      {ReadTimeouts(10, 0, 0), 2048, false, false, std::nullopt, milliseconds(10)},
      {ReadTimeouts(0, 0, 50), 2048, false, false, milliseconds(50), std::nullopt},
      {ReadTimeouts(0, 2, 50), 100, false, false, milliseconds(250), std::nullopt},
      {ReadTimeouts(5, 1, 0), 10, false, false, milliseconds(10), milliseconds(5)},
      {ReadTimeouts(kMax, 0, 0), 2048, true, false, std::nullopt, std::nullopt},
      {ReadTimeouts(kMax, kMax, 100), 2048, false, true, milliseconds(100), std::nullopt},
      // Only the exact combinations are special; otherwise the values are plain limits.
      {ReadTimeouts(kMax, 0, 20), 8, false, false, milliseconds(20), milliseconds(kMax)},
      {ReadTimeouts(kMax, kMax, 0), 1, false, false, milliseconds(kMax), milliseconds(kMax)},
  };
  for (const auto& c : kCases) {
    const ReadPlan plan = PlanRead(c.timeouts, c.size);
    SCOPED_TRACE(testing::Message()
                 << c.timeouts.read_interval << "/" << c.timeouts.read_total_multiplier << "/"
                 << c.timeouts.read_total_constant);
    EXPECT_EQ(plan.return_at_once, c.at_once);
    EXPECT_EQ(plan.return_on_first_byte, c.first_byte);
    EXPECT_EQ(plan.total, c.total);
    EXPECT_EQ(plan.interval, c.interval);
  }
}

TEST(WriteLimit, IsMultiplierTimesSizePlusConstantOrNone) {
  SerialTimeouts t;
  EXPECT_EQ(WriteLimit(t, 100), std::nullopt);
  t.write_total_constant = 30;
  EXPECT_EQ(WriteLimit(t, 100), milliseconds(30));
  t.write_total_multiplier = 2;
  EXPECT_EQ(WriteLimit(t, 100), milliseconds(230));
  t.write_total_multiplier = kMax;
  t.write_total_constant = kMax;
  EXPECT_EQ(WriteLimit(t, 1u << 20),
            milliseconds(static_cast<int64_t>(uint64_t{kMax} * (1u << 20) + kMax)));
}

// A pipe stands in for the line: the loops only need a descriptor to poll and a try-call.
class PipeTransfer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pipe2(fds_, O_NONBLOCK | O_CLOEXEC), 0); }
  void TearDown() override {
    if (fds_[0] >= 0) close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  void Feed(const std::string& bytes) {
    ASSERT_EQ(write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  ErrnoResult<size_t> Read(const ReadPlan& plan, int abort_fd = -1) {
    buffer_.assign(16, '\0');
    return ReadUnderPlan(
        fds_[0], abort_fd, buffer_.size(), plan, [this](size_t offset) -> ErrnoResult<size_t> {
          const ssize_t n = read(fds_[0], buffer_.data() + offset, buffer_.size() - offset);
          if (n < 0) return {errno, 0};
          return {0, static_cast<size_t>(n)};
        });
  }

  int fds_[2] = {-1, -1};
  std::string buffer_;
};

TEST_F(PipeTransfer, FullBufferEndsTheReadWithoutWaiting) {
  Feed(std::string(20, 'x'));
  const auto start = Clock::now();
  const ErrnoResult<size_t> got = Read(ReadPlan{});
  EXPECT_EQ(got.error, 0);
  EXPECT_EQ(got.value, 16u);
  EXPECT_LT(Clock::now() - start, milliseconds(1000));
}

TEST_F(PipeTransfer, ReturnAtOnceTakesWhatIsThereEvenNothing) {
  ReadPlan plan;
  plan.return_at_once = true;
  EXPECT_EQ(Read(plan).value, 0u);
  Feed("abc");
  const ErrnoResult<size_t> got = Read(plan);
  EXPECT_EQ(got.value, 3u);
  EXPECT_EQ(buffer_.substr(0, 3), "abc");
}

TEST_F(PipeTransfer, EndOfFileBeforeAnyByteIsAHangUpAndAfterBytesDeliversThem) {
  Feed("ab");
  close(fds_[1]);
  fds_[1] = -1;
  const ErrnoResult<size_t> first = Read(ReadPlan{});
  EXPECT_EQ(first.error, 0);
  EXPECT_EQ(first.value, 2u);
  EXPECT_EQ(Read(ReadPlan{}).error, kSerialHungUp);
}

TEST_F(PipeTransfer, AbortEndsAWaitingReadAndKeepsTheBytesReadSoFar) {
  Event stop(Event::Mode::kManualReset);
  Feed("xy");
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(30));
    stop.Set();
  });
  const ErrnoResult<size_t> got = Read(ReadPlan{}, stop.fd());
  stopper.join();
  EXPECT_EQ(got.error, kSerialAborted);
  EXPECT_EQ(got.value, 2u);
}

TEST_F(PipeTransfer, WriteStopsAtItsLimitWithTheCountWritten) {
  const std::string big(1 << 20, 'z');  // more than a pipe holds
  const auto write_from = [&](size_t offset) -> ErrnoResult<size_t> {
    const ssize_t n = write(fds_[1], big.data() + offset, big.size() - offset);
    if (n < 0) return {errno, 0};
    return {0, static_cast<size_t>(n)};
  };
  const ErrnoResult<size_t> got =
      WriteUnderLimit(fds_[1], -1, big.size(), milliseconds(30), write_from);
  EXPECT_EQ(got.error, 0);
  EXPECT_GT(got.value, 0u);
  EXPECT_LT(got.value, big.size());

  Event stop(Event::Mode::kManualReset, true);
  const ErrnoResult<size_t> aborted =
      WriteUnderLimit(fds_[1], stop.fd(), big.size(), std::nullopt, write_from);
  EXPECT_EQ(aborted.error, kSerialAborted);
  EXPECT_EQ(aborted.value, 0u);
}

}  // namespace
}  // namespace kestrova
