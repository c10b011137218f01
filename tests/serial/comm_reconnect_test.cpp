// A port whose device goes away and comes back: socat pseudo-terminal pairs reached through
// links play an adapter that is unplugged and plugged in again under the same name.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "serial_test_support.h"
#include "support/simulated_serial_device.h"
#include "support/socat_link_pair.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::CommRecorder;
using testing::MainLoopScope;
using testing::SimulatedSerialDevice;
using testing::SimulatedSerialLine;
using testing::SocatLinkPair;

constexpr milliseconds kLimit{10000};
// How soon after its link is back the port must be open again.
constexpr milliseconds kBackWithin{1000};

// Passes everything to the real loop and counts the timers and watches alive, so a test can
// see that a waiting port holds no timer.
class CountingLoop final : public MessageLoop {
 public:
  explicit CountingLoop(MessageLoop& inner) : inner_(inner) {}
  void Post(Task task) override { inner_.Post(std::move(task)); }
  void AtTurnEnd(Task task) override { inner_.AtTurnEnd(std::move(task)); }
  LoopHandle StartTimer(milliseconds interval, Task task) override {
    return std::make_unique<Counted>(inner_.StartTimer(interval, std::move(task)), timers);
  }
  LoopHandle WatchFd(int fd, Readiness readiness, Task task) override {
    return std::make_unique<Counted>(inner_.WatchFd(fd, readiness, std::move(task)), watches);
  }

  int timers = 0;
  int watches = 0;

 private:
  struct Counted final : LoopRegistration {
    Counted(LoopHandle handle, int& count) : inner(std::move(handle)), live(count) { ++live; }
    ~Counted() override {
      inner.reset();
      --live;
    }
    LoopHandle inner;
    int& live;
  };
  MessageLoop& inner_;
};

int ThreadCount() {
  int count = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(tasks);
  return count;
}

// The peer's end of the line, opened by its link.
class Peer {
 public:
  explicit Peer(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
  ~Peer() {
    if (fd_ >= 0) close(fd_);
  }
  bool Write(std::string_view data) {
    return fd_ >= 0 && write(fd_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  }
  std::string Read(size_t count) {
    std::string got(count, '\0');
    size_t have = 0;
    while (fd_ >= 0 && have < count) {
      const ssize_t n = read(fd_, got.data() + have, count - have);
      if (n <= 0) break;
      have += static_cast<size_t>(n);
    }
    got.resize(have);
    return got;
  }

 private:
  int fd_;
};

class CommReconnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::SocatAvailable()) GTEST_SKIP() << "socat is not installed";
    char pattern[] = "/tmp/kestrova-reconnect-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Opens `comm` on the pair's first link and checks that data flows both ways.
  void OpenAndTalk(TVSSComm32& comm, CommRecorder& seen, SocatLinkPair& pair,
                   const std::string& inbound) {
    comm.SetCommPort(pair.a());
    ASSERT_TRUE(comm.Connected()) << comm.LastErrorText();
    Peer peer(pair.b());
    const std::string before = seen.received;
    ASSERT_TRUE(peer.Write(inbound));
    ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == before + inbound; }, kLimit));
    ASSERT_TRUE(comm.WriteCommData("ok"));
    EXPECT_EQ(peer.Read(2), "ok");
  }

  std::string dir_;
  MainLoopScope scope_;
  PollMessageLoop& loop_ = scope_.loop;
  CountingLoop counting_{scope_.loop};
};

TEST_F(CommReconnectTest, PortOpensAgainWhenItsLinkReturnsAndDataFlows) {
  SocatLinkPair pair(dir_ + "/port", dir_ + "/peer");
  ASSERT_TRUE(pair.Start(kLimit));
  const int threads_idle = ThreadCount();
  TVSSComm32 comm(nullptr, &counting_);
  CommRecorder seen(comm);
  int lost = 0;
  int reconnected = 0;
  comm.OnDeviceLost() = [&](Object*) { ++lost; };
  comm.OnReconnected() = [&](Object*) { ++reconnected; };
  OpenAndTalk(comm, seen, pair, "before");
  loop_.RunFor(milliseconds(20));
  seen.states.clear();

  ASSERT_TRUE(pair.Stop(kLimit));
  ASSERT_TRUE(loop_.RunUntil([&] { return comm.GetCommState() == CommStateFailed; }, kLimit));
  loop_.RunFor(milliseconds(100));
  EXPECT_TRUE(comm.AwaitingDevice());
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(counting_.timers, 0) << "waiting holds no timer";
  EXPECT_EQ(counting_.watches, 1) << "only the watch on the device's folder";
#ifndef __SANITIZE_THREAD__  // ThreadSanitizer starts a thread of its own at some point
  EXPECT_EQ(ThreadCount(), threads_idle) << "no worker thread stays behind while waiting";
#endif

  ASSERT_TRUE(pair.Start(kLimit));
  EXPECT_TRUE(loop_.RunUntil([&] { return comm.Connected(); }, kBackWithin))
      << comm.LastErrorText();
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.states.back() == CommStateConnected; }, kLimit));
  EXPECT_FALSE(comm.AwaitingDevice());
  EXPECT_EQ(reconnected, 1);
  Peer peer(pair.b());
  ASSERT_TRUE(peer.Write("after"));
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "beforeafter"; }, kLimit));
  ASSERT_TRUE(comm.WriteCommData("back"));
  EXPECT_EQ(peer.Read(4), "back");
  EXPECT_EQ(seen.states, (std::vector<TCommState>{CommStateFailed, CommStateConnected}));
  comm.StopComm();
}

TEST_F(CommReconnectTest, PortOpenedBeforeItsDeviceExistsOpensWhenItAppears) {
  // The folder of the link does not exist yet either.
  SocatLinkPair pair(dir_ + "/by-id/port", dir_ + "/peer");
  TVSSComm32 comm(nullptr, &counting_);
  CommRecorder seen(comm);
  comm.SetCommPort(pair.a());
  ASSERT_FALSE(comm.Connected());
  EXPECT_TRUE(comm.AwaitingDevice());
  ASSERT_TRUE(std::filesystem::create_directory(dir_ + "/by-id"));
  loop_.RunFor(milliseconds(50));
  ASSERT_FALSE(comm.Connected());
  ASSERT_TRUE(pair.Start(kLimit));
  EXPECT_TRUE(loop_.RunUntil([&] { return comm.Connected(); }, kBackWithin));
  Peer peer(pair.b());
  ASSERT_TRUE(peer.Write("hi"));
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "hi"; }, kLimit));
  comm.StopComm();
}

struct StaysClosedCase {
  const char* name;
  bool auto_reconnect;
  // What the user does while the device is away.
  std::function<void(TVSSComm32&, const std::string& dir)> act;
};

TEST_F(CommReconnectTest, PortTheUserLetGoStaysClosedWhenItsDeviceReturns) {
  const StaysClosedCase cases[] = {
      {"stopped", true, [](TVSSComm32& comm, const std::string&) { comm.StopComm(); }},
      {"AutoReconnect switched off", true,
       [](TVSSComm32& comm, const std::string&) { comm.SetAutoReconnect(false); }},
      {"another port chosen", true,
       [](TVSSComm32& comm, const std::string& dir) { comm.SetCommPort(dir + "/other"); }},
      {"AutoReconnect off throughout", false, [](TVSSComm32&, const std::string&) {}},
  };
  for (const StaysClosedCase& c : cases) {
    SCOPED_TRACE(c.name);
    SocatLinkPair pair(dir_ + "/port", dir_ + "/peer");
    ASSERT_TRUE(pair.Start(kLimit));
    TVSSComm32 comm(nullptr, &counting_);
    comm.SetAutoReconnect(c.auto_reconnect);
    comm.SetCommPort(pair.a());
    ASSERT_TRUE(comm.StartComm()) << comm.LastErrorText();

    ASSERT_TRUE(pair.Stop(kLimit));
    ASSERT_TRUE(loop_.RunUntil([&] { return !comm.Connected(); }, kLimit));
    c.act(comm, dir_);
    ASSERT_TRUE(pair.Start(kLimit));
    loop_.RunFor(milliseconds(300));
    EXPECT_FALSE(comm.Connected());
    EXPECT_EQ(comm.AwaitingDevice(), comm.CommPort() != pair.a())
        << "waits, if at all, only for a port the user chose since";
    comm.StopComm();
    EXPECT_FALSE(comm.AwaitingDevice());
    EXPECT_EQ(counting_.watches, 0);
  }
}

// A node that appears before udev gave it its group and mode: the simulated device refuses
// opens with EACCES while a real file plays the node, so the watch sees it come.
TEST_F(CommReconnectTest, NewNodeRefusingAccessIsRetriedForAWhileThenLeftFailed) {
  for (const bool udev_catches_up : {true, false}) {
    SCOPED_TRACE(udev_catches_up ? "udev catches up" : "access stays refused");
    const std::string node = dir_ + (udev_catches_up ? "/ttyUSB0" : "/ttyUSB1");
    auto line = std::make_shared<SimulatedSerialLine>();
    TVSSComm32 comm(nullptr, &counting_);
    comm.SetDeviceFactory([line] { return std::make_unique<SimulatedSerialDevice>(line); });
    line->SetOpenError(ENOENT);
    comm.SetCommPort(node);
    ASSERT_TRUE(comm.AwaitingDevice());

    line->SetOpenError(EACCES);
    { std::ofstream touch(node); }
    ASSERT_TRUE(loop_.RunUntil([&] { return counting_.timers == 1; }, kLimit))
        << "a refused open of a new node is tried again";
    if (udev_catches_up) {
      line->SetOpenError(0);
      EXPECT_TRUE(loop_.RunUntil([&] { return comm.Connected(); }, kLimit));
    } else {
      ASSERT_TRUE(loop_.RunUntil([&] { return !comm.AwaitingDevice(); }, kLimit));
      EXPECT_FALSE(comm.Connected());
      EXPECT_EQ(comm.LastError(), EACCES);
      EXPECT_FALSE(comm.LastErrorText().empty()) << "the usual permission message stands";
    }
    EXPECT_EQ(counting_.timers, 0);
    comm.StopComm();
  }
}

// Every way a vanished device shows itself on an open port (a read, a write, a modem-status
// poll) leads to the wait and a reopen when the node is back; an error that says nothing of
// the device being gone leaves the port failed.
TEST_F(CommReconnectTest, DeviceGoneOnReadWriteOrModemPollIsAwaitedAndReopened) {
  struct Case {
    const char* name;
    void (SimulatedSerialLine::*inject)(int);
    int error;
    bool awaited;
    // What makes the port meet the error; the reader meets a read error by itself.
    void (*provoke)(TVSSComm32&);
  };
  const auto write = [](TVSSComm32& comm) { comm.WriteCommData("x"); };
  // Polled until the port fails: a poll right after the last one answers from the cache.
  const auto poll = [](TVSSComm32& comm) { comm.PollModemStatus(); };
  const Case cases[] = {
      {"read EIO", &SimulatedSerialLine::SetReadError, EIO, true, [](TVSSComm32&) {}},
      {"write ENXIO", &SimulatedSerialLine::SetWriteError, ENXIO, true, write},
      {"modem poll ENODEV", &SimulatedSerialLine::SetModemError, ENODEV, true, poll},
      {"modem poll EINVAL", &SimulatedSerialLine::SetModemError, EINVAL, false, poll},
  };
  const std::string node = dir_ + "/ttyACM0";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    { std::ofstream touch(node); }
    auto line = std::make_shared<SimulatedSerialLine>();
    TVSSComm32 comm(nullptr, &counting_);
    comm.SetDeviceFactory([line] { return std::make_unique<SimulatedSerialDevice>(line); });
    comm.SetCommPort(node);
    ASSERT_TRUE(comm.Connected()) << comm.LastErrorText();

    ((*line).*c.inject)(c.error);
    ASSERT_TRUE(loop_.RunUntil(
        [&] {
          c.provoke(comm);
          return comm.GetCommState() == CommStateFailed;
        },
        kLimit));
    EXPECT_EQ(comm.AwaitingDevice(), c.awaited);

    ((*line).*c.inject)(0);
    std::filesystem::remove(node);
    { std::ofstream touch(node); }
    EXPECT_EQ(loop_.RunUntil([&] { return comm.Connected(); },
                             c.awaited ? kBackWithin : milliseconds(300)),
              c.awaited);
    comm.StopComm();
    std::filesystem::remove(node);
  }
}

}  // namespace
}  // namespace kestrova
