// The chain's structure: channel numbers, deletion, members attaching and detaching, sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "distribution/distributor.h"
#include "distribution/top_distributor.h"
#include "platform/tick.h"
#include "support/fake_transport.h"
#include "util/diagnostic_notice.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

using testing::FakeTransport;

class NoticeLog {
 public:
  NoticeLog() {
    SetNoticeObserver([this](std::string_view text) { texts.emplace_back(text); });
  }
  ~NoticeLog() { SetNoticeObserver(nullptr); }
  std::vector<std::string> texts;
};

TEST(Chain, ChannelsAreNumberedInOrderAndTheLastTakesADeletedPlace) {
  VMurTopDistributor top(nullptr);
  VMurDistributor member(nullptr);
  member.SetDistributor(&top);
  Object a, b, c;
  EXPECT_EQ(top.ChannelIndex(nullptr), 0);
  EXPECT_EQ(top.ChannelIndex(&a), 1);
  EXPECT_EQ(top.ChannelIndex(&b), 2);
  EXPECT_EQ(top.ChannelIndex(&c), 3);
  EXPECT_EQ(member.ChannelCount(), 4);
  member.SetPacketLength(&c, VMurGeneralDistributor::kSend, 7);  // marks c's claim record

  EXPECT_TRUE(top.DeleteChannel(&a));
  EXPECT_EQ(top.BufferCount(), 6);
  EXPECT_EQ(top.ChannelIndex(&c), 1);  // the last channel moved into the hole
  EXPECT_EQ(top.ChannelIndex(&b), 2);
  EXPECT_EQ(member.ChannelCount(), 3);
  EXPECT_EQ(member.GetPacketLength(2 * 1 + VMurGeneralDistributor::kSend), 7);
  EXPECT_EQ(top.Buffer(2).Channel, ChannelKey(&c));
  member.SetPacketLength(&c, VMurGeneralDistributor::kSend, 0);
  top.DeleteChannel(&b);
  top.DeleteChannel(&c);
}

TEST(Chain, DeleteChannelOfUnknownObjectFailsAndNilKeepsTheMainChannel) {
  VMurTopDistributor top(nullptr);
  Object stranger;
  EXPECT_FALSE(top.DeleteChannel(&stranger));
  top.ComReceive(nullptr, nullptr, "abc");
  EXPECT_FALSE(top.Buffer(0).Closed);
  EXPECT_TRUE(top.DeleteChannel(nullptr));
  EXPECT_EQ(top.BufferCount(), 2);
  EXPECT_TRUE(top.Buffer(0).Closed);
  EXPECT_TRUE(top.Buffer(1).Closed);
  EXPECT_TRUE(top.Buffer(0).Data.empty());
}

TEST(Chain, DeletionDuringProcessingWaitsAndChannelIndexReopens) {
  VMurTopDistributor top(nullptr);
  Object peer;
  int deleted_inside = 0;
  bool reopen = false;
  top.OnAdvancedRecvTransfer() = [&](VMurGeneralDistributor*, ChannelKey channel, uint32_t&,
                                     std::string_view, VMurGeneralDistributor*, bool) {
    if (channel != ChannelKey(&peer)) return;
    deleted_inside += top.DeleteChannel(&peer);
    EXPECT_EQ(top.BufferCount(), 4);  // only marked
    EXPECT_TRUE(top.Buffer(2).Closed);
    if (reopen) top.ChannelIndex(&peer);
  };
  top.ComReceive(nullptr, &peer, "x");
  EXPECT_EQ(deleted_inside, 1);
  EXPECT_EQ(top.BufferCount(), 2);  // removed when processing ended

  reopen = true;
  top.ComReceive(nullptr, &peer, "y");
  EXPECT_EQ(top.BufferCount(), 4);  // reopened before processing ended: kept
  EXPECT_FALSE(top.Buffer(2).Closed);
  reopen = false;
  top.OnAdvancedRecvTransfer() = nullptr;
  EXPECT_TRUE(top.DeleteChannel(&peer));  // nothing processed now: removed at once
  EXPECT_EQ(top.BufferCount(), 2);
}

TEST(Chain, MembersFollowTheHeadsChannelCountAndAvoidCycles) {
  VMurTopDistributor top(nullptr);
  Object a, b;
  top.ChannelIndex(&a);
  top.ChannelIndex(&b);
  VMurDistributor member(nullptr), below(nullptr);
  below.SetDistributor(&member);
  member.SetDistributor(&top);
  EXPECT_EQ(member.ChannelCount(), 3);
  EXPECT_EQ(below.ChannelCount(), 3);
  EXPECT_EQ(below.TopDistributor(), &top);

  member.SetDistributor(&below);  // its own descendant: no parent at all
  EXPECT_EQ(member.Distributor(), nullptr);
  EXPECT_EQ(member.ChannelCount(), 1);
  EXPECT_EQ(below.ChannelCount(), 1);
  EXPECT_TRUE(top.Children().empty());
  EXPECT_EQ(below.TopDistributor(), nullptr);
  top.DeleteChannel(&a);
  top.DeleteChannel(&b);
}

TEST(Chain, DetachingMovesTheLastChildIntoThePlace) {
  VMurTopDistributor top(nullptr);
  VMurDistributor first(nullptr), second(nullptr), third(nullptr);
  first.SetDistributor(&top);
  second.SetDistributor(&top);
  third.SetDistributor(&top);
  second.SetDistributor(nullptr);
  EXPECT_EQ(top.Children(), (std::vector<VMurGeneralDistributor*>{&first, &third}));
}

TEST(Chain, MemberLoadedAttachesToTheFirstHeadOfTheApplication) {
  Component application(nullptr);
  Component form(&application);
  auto* member = new VMurDistributor(&form);
  auto* top = new VMurTopDistributor(&form);
  top->SetAutomaticCreate(false);
  member->BeginLoading();
  member->Loaded();
  EXPECT_EQ(member->Distributor(), top);

  auto* loner = new VMurDistributor(&form);
  loner->SetAutomaticConnect(false);
  loner->BeginLoading();
  loner->Loaded();
  EXPECT_EQ(loner->Distributor(), nullptr);
}

TEST(Chain, DestroyingTheHeadDetachesItsMembers) {
  VMurDistributor member(nullptr);
  {
    VMurTopDistributor top(nullptr);
    member.SetDistributor(&top);
  }
  EXPECT_EQ(member.Distributor(), nullptr);
  EXPECT_EQ(member.TopDistributor(), nullptr);
}

TEST(Chain, OperationsNeedingAHeadFailWithoutOne) {
  VMurDistributor member(nullptr);
  try {
    member.SendComData("x");
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "SendComData: VMurDistributor chain does not begin with VMurTopDistributor");
  }
  try {
    member.GetComBuffer(0);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "GetComBuffer: VMurDistributor chain does not begin with VMurTopDistributor");
  }
}

TEST(Chain, SendsGoThroughTheHandlerThatOnUpdateHandlerPicks) {
  VMurTopDistributor top(nullptr);
  FakeTransport main_port, other_port;
  main_port.StartComm();
  other_port.StartComm();
  Object peer;
  std::vector<std::string> sent;  // what passed the send buffers, per channel number
  top.OnAdvancedSendTransfer() = [&](VMurGeneralDistributor*, ChannelKey channel, uint32_t&,
                                     std::string_view data, VMurGeneralDistributor*, bool) {
    sent.push_back(std::to_string(top.ChannelIndex(channel)) + ":" + std::string(data));
  };
  uint32_t now = 0;

  top.SendComData(&peer, now, "lost");  // no handler at all: neither written nor shown
  EXPECT_TRUE(sent.empty());

  top.SendComData(now, "main");  // the main-channel form shows it even without a handler
  EXPECT_EQ(sent, std::vector<std::string>{"0:main"});

  top.SetComHandler(&main_port);
  top.OnUpdateHandler() = [&](VMurTopDistributor*, VMurCommunicationComponent*& handler,
                              ChannelKey& channel) {
    if (channel == ChannelKey(&peer)) {
      handler = &other_port;
      channel = ChannelKey();
    }
  };
  top.SendComData(&peer, now, "to-peer");
  ASSERT_EQ(other_port.writes.size(), 1u);
  EXPECT_EQ(other_port.writes[0].second, "to-peer");
  EXPECT_EQ(sent.back(), "1:to-peer");  // shown on the channel the caller named

  top.SendComData("plain");
  ASSERT_EQ(main_port.writes.size(), 1u);
  EXPECT_EQ(main_port.writes[0].second, "plain");
  top.SetComHandler(nullptr);
  top.DeleteChannel(&peer);
}

TEST(Chain, ComHandlerReceivesIntoTheHeadUntilReplaced) {
  VMurTopDistributor top(nullptr);
  std::string received;
  top.OnAdvancedRecvTransfer() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                     std::string_view data, VMurGeneralDistributor*,
                                     bool) { received += data; };
  {
    FakeTransport port;
    top.SetComHandler(&port);
    port.Receive("abc");
    EXPECT_EQ(received, "abc");
  }  // the transport goes away: the head forgets it
  EXPECT_EQ(top.ComHandler(), nullptr);

  FakeTransport port;
  VMurCommunicationComponent::AdvancedReceiveEvent own = [](VMurCommunicationComponent*, ChannelKey,
                                                            std::string_view) {};
  top.SetComHandler(&port);
  top.SetComHandler(nullptr);
  EXPECT_FALSE(port.OnAdvancedReceiveData());  // our entry was taken back
  port.SetOnAdvancedReceiveData(own);
  top.SetComHandler(&port);
  port.SetOnAdvancedReceiveData(own);  // the application took the event over
  top.SetComHandler(nullptr);
  EXPECT_TRUE(port.OnAdvancedReceiveData());  // theirs stays
}

// Bytes a reader thread stamped reach the chain with that time, however late the GUI thread
// takes them; the stamp means nothing outside its event.
TEST(Chain, ReceivedBytesCarryTheTimeTheyWereRead) {
  VMurTopDistributor top(nullptr);
  std::vector<uint32_t> times;
  top.OnAdvancedRecvTransfer() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t& the_time,
                                     std::string_view, VMurGeneralDistributor*,
                                     bool) { times.push_back(the_time); };
  FakeTransport port;
  top.SetComHandler(&port);
  const uint32_t before = TickCount();
  port.ReceiveReadAt("a", before - 500);
  port.Receive("b");
  EXPECT_EQ(times.at(0), before - 500);
  EXPECT_FALSE(TimeElapsed(before, 1000, times.at(1)));  // unstamped: the time it is taken
  EXPECT_FALSE(port.ReadTick().has_value());
  top.SetComHandler(nullptr);
}

TEST(Chain, ClaimRecordsRefuseNegativeLengthsAndReportColoursOnce) {
  NoticeLog notices;
  VMurTopDistributor top(nullptr);
  top.SetPacketLength(0, 5);
  top.SetPacketLength(0, -1);
  EXPECT_EQ(top.GetPacketLength(0), 5);
  EXPECT_EQ(notices.texts, std::vector<std::string>{"ses peknej jeliman"});

  top.OnAdvancedRecvGetColor() = [](VMurGeneralDistributor*, ChannelKey, std::string_view data,
                                    uint32_t, TColor& color) {
    color = data.front() == 'r' ? 0x0000FF : clNone;
  };
  std::vector<TColor> reported;
  top.OnAdvancedRecvTransfer() = [&](VMurGeneralDistributor* d, ChannelKey channel, uint32_t&,
                                     std::string_view, VMurGeneralDistributor*, bool) {
    reported.push_back(d->GetFilterColor(VMurGeneralDistributor::kReceive, channel));
    reported.push_back(d->GetFilterColor(VMurGeneralDistributor::kReceive, channel));
  };
  top.SetPacketLength(0, 0);
  top.ComReceive(nullptr, nullptr, "r");
  top.DeleteChannel(nullptr);
  EXPECT_EQ(reported, (std::vector<TColor>{0x0000FF, clNone}));
}

TEST(Chain, DestructionNoticesNameForgottenChannels) {
  NoticeLog notices;
  {
    VMurTopDistributor top(nullptr);
    top.SetName("Top");
    Object peer;
    top.ComReceive(nullptr, &peer, "x");
    top.ComReceive(nullptr, nullptr, "y");
  }
  EXPECT_EQ(notices.texts,
            (std::vector<std::string>{
                "VMurTopDistributor(Top).Destroy: Please call DeleteChannel after communication "
                "termination",
                "VMurTopDistributor(Top).Destroy: Please call DeleteChannel(nil) after "
                "communication termination (e.g. in TVSSComm32.OnStateChange)"}));
}

}  // namespace
}  // namespace kestrova
