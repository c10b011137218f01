// The serial component on real pseudo-terminals: the test plays the peer on the master side.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "distribution/automatic_com_handler.h"
#include "distribution/top_distributor.h"
#include "serial/serial_com_handler.h"
#include "serial_test_support.h"
#include "support/pty_pair.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::CommRecorder;
using testing::MainLoopScope;
using testing::PtyPair;

constexpr milliseconds kLimit{20000};

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Splits `data` into random chunks of 1..`max_chunk` bytes.
std::vector<std::string_view> RandomChunks(std::string_view data, size_t max_chunk, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::string_view> chunks;
  while (!data.empty()) {
    const size_t size = std::min<size_t>(data.size(), 1 + random() % max_chunk);
    chunks.push_back(data.substr(0, size));
    data.remove_prefix(size);
  }
  return chunks;
}

class CommPtyTest : public ::testing::Test {
 protected:
  // Opens `comm` on the pair's slave through the port setter.
  void Open(TVSSComm32& comm, PtyPair& pty) {
    comm.SetCommPort(pty.slave_path());
    ASSERT_TRUE(comm.Connected()) << comm.LastErrorText();
  }

  MainLoopScope scope_;
  PollMessageLoop& loop_ = scope_.loop;
};

TEST_F(CommPtyTest, DataBothWaysOnTheLoop) {
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  Open(comm, pty);
  ASSERT_TRUE(loop_.RunUntil([&] { return !seen.states.empty(); }, kLimit));
  EXPECT_EQ(seen.states.back(), CommStateConnected);

  pty.Write(std::string("hello\0\x11\x13\xff", 9));
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received.size() == 9; }, kLimit));
  EXPECT_EQ(seen.received, std::string("hello\0\x11\x13\xff", 9));

  EXPECT_TRUE(comm.WriteCommData(std::string("world\0\x13", 7)));
  EXPECT_EQ(pty.Read(7, kLimit), std::string("world\0\x13", 7));

  comm.StopComm();
  EXPECT_FALSE(comm.Connected());
  EXPECT_FALSE(comm.WriteCommData("late")) << "no writer once the port is closed";
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(seen.states.back(), CommStateDisconnected);
}

TEST_F(CommPtyTest, TenMegabytesEachWayArriveWholeAndInOrder) {
  constexpr size_t kSize = 10 << 20;
  const std::string inbound = RandomBytes(kSize, 1);
  const std::string outbound = RandomBytes(kSize, 2);
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  seen.received.reserve(kSize);
  Open(comm, pty);

  std::thread peer_writer([&] {
    for (std::string_view chunk : RandomChunks(inbound, 9000, 3)) pty.Write(chunk);
  });
  std::string peer_got;
  std::thread peer_reader([&] { peer_got = pty.Read(kSize, milliseconds(60000)); });
  for (std::string_view chunk : RandomChunks(outbound, 9000, 4)) {
    ASSERT_TRUE(comm.WriteCommData(chunk));
  }
  const bool all_in =
      loop_.RunUntil([&] { return seen.received.size() >= kSize; }, milliseconds(60000));
  peer_writer.join();
  peer_reader.join();
  ASSERT_TRUE(all_in) << seen.received.size() << " of " << kSize << " bytes came";
  EXPECT_TRUE(seen.received == inbound) << "received bytes differ";
  EXPECT_EQ(peer_got.size(), kSize);
  EXPECT_TRUE(peer_got == outbound) << "sent bytes differ";
}

TEST_F(CommPtyTest, BurstIsOneBlockAndPausedBytesAreSeparate) {
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  Open(comm, pty);
  pty.Write("burst");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received.size() == 5; }, kLimit));
  EXPECT_EQ(seen.blocks, 1u);
  pty.Write("x");
  std::this_thread::sleep_for(milliseconds(60));
  pty.Write("y");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received.size() == 7; }, kLimit));
  EXPECT_EQ(seen.blocks, 3u) << "bytes 60 ms apart are more than ReadInterval (10 ms) apart";
}

TEST_F(CommPtyTest, PeerClosingWhileDataFlowsFailsThePort) {
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  Open(comm, pty);
  // The writer is stuck on a full line (nobody reads the master) and the peer sends.
  const std::string block = RandomBytes(1 << 20, 5);
  ASSERT_TRUE(comm.WriteCommData(block));
  ASSERT_TRUE(comm.WriteCommData(block));
  pty.Write(block.substr(0, 3000));
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received.size() == 3000; }, kLimit));

  pty.CloseMaster();
  ASSERT_TRUE(loop_.RunUntil([&] { return !comm.Connected(); }, kLimit));
  loop_.RunFor(milliseconds(50));
  EXPECT_EQ(comm.GetCommState(), CommStateFailed);
  EXPECT_EQ(seen.states.back(), CommStateFailed);
  EXPECT_FALSE(comm.WriteCommData("x"));
}

TEST_F(CommPtyTest, SettersReopenAClosedOrFailedPort) {
  PtyPair first;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  Open(comm, first);
  loop_.RunFor(milliseconds(20));
  seen.states.clear();
  comm.StopComm();
  ASSERT_FALSE(comm.Connected());

  comm.SetBaudRate(TBaudRate::_115200);  // AutoReconnect: a setting change opens the port
  ASSERT_TRUE(comm.Connected());
  first.Write("again");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "again"; }, kLimit));

  first.CloseMaster();
  ASSERT_TRUE(loop_.RunUntil([&] { return comm.GetCommState() == CommStateFailed; }, kLimit));
  PtyPair second;
  Open(comm, second);
  second.Write("+");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "again+"; }, kLimit));
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(seen.states,
            (std::vector<TCommState>{CommStateDisconnected, CommStateConnected, CommStateFailed,
                                     CommStateDisconnected, CommStateConnected}));
}

TEST_F(CommPtyTest, SameNameAgainRetriesAClosedPort) {
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  comm.SetAutoReconnect(false);
  comm.SetCommPort(pty.slave_path());
  EXPECT_FALSE(comm.Connected()) << "without AutoReconnect the name is only stored";
  comm.SetAutoReconnect(true);
  EXPECT_TRUE(comm.Connected()) << "switching AutoReconnect on opens the port";
  comm.StopComm();
  comm.SetCommPort(pty.slave_path());
  EXPECT_TRUE(comm.Connected());
}

TEST_F(CommPtyTest, SecondOpenOfTheSameDeviceFailsCleanly) {
  PtyPair pty;
  TVSSComm32 owner(nullptr);
  CommRecorder owner_seen(owner);
  Open(owner, pty);
  TVSSComm32 intruder(nullptr);
  CommRecorder intruder_seen(intruder);
  intruder.SetCommPort(pty.slave_path());
  EXPECT_FALSE(intruder.Connected());
  EXPECT_EQ(intruder.LastError(), EBUSY);
  EXPECT_NE(intruder.LastErrorText().find(pty.slave_path()), std::string::npos)
      << intruder.LastErrorText();
  ASSERT_TRUE(loop_.RunUntil([&] { return !intruder_seen.states.empty(); }, kLimit));
  EXPECT_EQ(intruder_seen.states.back(), CommStateFailed);

  pty.Write("still mine");
  ASSERT_TRUE(loop_.RunUntil([&] { return owner_seen.received == "still mine"; }, kLimit));
  EXPECT_TRUE(intruder_seen.received.empty());
}

TEST_F(CommPtyTest, ChangedConfigurationReopensAnOpenPortOnce) {
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  Open(comm, pty);
  loop_.RunFor(milliseconds(20));
  seen.states.clear();
  comm.SetConfigAsString("\"" + pty.slave_path() + "\",\"57600\"");
  EXPECT_TRUE(comm.Connected());
  EXPECT_EQ(comm.BaudRate(), TBaudRate::_57600);
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(seen.states, (std::vector<TCommState>{CommStateDisconnected, CommStateConnected}));

  seen.states.clear();
  comm.SetConfigAsString(comm.GetConfigAsString());
  loop_.RunFor(milliseconds(20));
  EXPECT_TRUE(seen.states.empty()) << "an unchanged string leaves an open port alone";
}

TEST_F(CommPtyTest, ControlLinesOfAPseudoTerminalAreNotSupportedNotFailures) {
  PtyPair pty;
  TVSSComm32 comm(nullptr);
  CommRecorder seen(comm);
  Open(comm, pty);
  comm.Signals().SetDTR(false);
  comm.Signals().SetRTSControl(VMurSignalControl_RTSToggle);
  comm.Signals().SetCTSHandshake(true);
  comm.Signals().SetCTSHandshake(false);
  EXPECT_EQ(comm.PollModemStatus(), 0u);
  loop_.RunFor(milliseconds(150));
  EXPECT_TRUE(comm.Connected());
  pty.Write("ok");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "ok"; }, kLimit));
}

TEST_F(CommPtyTest, AutomaticComHandlerFeedsTheDistributor) {
  InstallSerialComHandler();
  PtyPair pty;
  std::string transferred;
  VMurTopDistributor top(nullptr);
  top.BeginLoading();
  top.Loaded();
  auto* handler = dynamic_cast<TVSSComm32*>(top.ComHandler());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->Name(), "VMurCOMHandler");
  EXPECT_EQ(handler->Owner(), &top);
  EXPECT_FALSE(handler->Connected()) << "nothing is opened before a port is named";

  top.OnAdvancedRecvTransfer() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                     std::string_view data, VMurGeneralDistributor*,
                                     bool) { transferred.append(data); };
  handler->SetCommPort(pty.slave_path());
  pty.Write("to the chain");
  EXPECT_TRUE(loop_.RunUntil([&] { return transferred == "to the chain"; }, kLimit));
  handler->StopComm();
  top.DeleteChannel(ChannelKey());
  SetAutomaticComHandlerFactory(nullptr);

  VMurTopDistributor without(nullptr);
  without.BeginLoading();
  without.Loaded();
  EXPECT_EQ(without.ComHandler(), nullptr);
}

}  // namespace
}  // namespace kestrova
