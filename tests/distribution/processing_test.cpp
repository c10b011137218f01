// How one buffer's bytes become claims, transfers and polls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "distribution/distributor.h"
#include "distribution/top_distributor.h"
#include "distribution_test_support.h"
#include "util/diagnostic_notice.h"

namespace kestrova {
namespace {

using testing::ClaimThrough;
using testing::RecordTransfers;
using testing::TransferSeen;

class Processing : public ::testing::Test {
 protected:
  Processing() {
    top.SetName("top");
    member.SetDistributor(&top);
  }
  ~Processing() override { top.DeleteChannel(nullptr); }

  VMurTopDistributor top{nullptr};
  VMurDistributor member{nullptr};
  std::vector<TransferSeen> seen;
};

TEST_F(Processing, UnclaimedBytesAreHandedOnOnceAndTheClaimCarriesOnlyTheRest) {
  top.OnAdvancedComDecode() = ClaimThrough('\n');
  RecordTransfers(top, seen);
  top.ComReceive(nullptr, nullptr, "ab");
  top.ComReceive(nullptr, nullptr, "c\nd");
  top.ComReceive(nullptr, nullptr, "\n");
  EXPECT_EQ(
      seen,
      (std::vector<TransferSeen>{
          {"ab", nullptr, true}, {"c\n", &top, false}, {"d", nullptr, true}, {"\n", &top, false}}));
  EXPECT_TRUE(top.Buffer(0).Data.empty());
}

TEST_F(Processing, ShortestClaimWinsAndEqualClaimsGoToTheLaterUnlessFailed) {
  struct Case {
    const char* name;
    char top_delimiter, member_delimiter;
    bool member_valid;
    int expected_index;  // 0: top, 1: member
  };
  const Case cases[] = {
      {"top shorter", ',', ';', true, 0},
      {"member shorter", ';', ',', true, 1},
      {"equal, member later", ',', ',', true, 1},
      {"equal, member failed", ',', ',', false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seen.clear();
    top.OnAdvancedComDecode() = ClaimThrough(c.top_delimiter);
    member.OnAdvancedComDecode() = ClaimThrough(c.member_delimiter, c.member_valid);
    RecordTransfers(top, seen);
    top.ComReceive(nullptr, nullptr, "a,b;");
    ASSERT_GE(seen.size(), 1u);
    const VMurGeneralDistributor* expected =
        c.expected_index == 0 ? static_cast<VMurGeneralDistributor*>(&top) : &member;
    EXPECT_EQ(seen[0].lowest, expected);
    EXPECT_EQ(seen[0].data, "a,");
    top.DeleteChannel(nullptr);
  }
}

TEST_F(Processing, ClaimLongerThanTheBufferIsCutToIt) {
  top.OnAdvancedComDecode() = [](VMurGeneralDistributor*, ChannelKey,
                                 VMurDistributor_ChannelRecord* rec, uint32_t) {
    rec->PacketLength = 1000;
    rec->Failed = false;
  };
  RecordTransfers(top, seen);
  top.ComReceive(nullptr, nullptr, "abc");
  EXPECT_EQ(seen, (std::vector<TransferSeen>{{"abc", &top, false}}));
  EXPECT_TRUE(top.Buffer(0).Data.empty());
}

TEST_F(Processing, ClaimShorterThanWhatWasHandedOnDoesNotRepeatBytes) {
  // The framer learns late that only the first byte was a packet of its own.
  bool claim_one = false;
  top.OnAdvancedComDecode() = [&](VMurGeneralDistributor*, ChannelKey,
                                  VMurDistributor_ChannelRecord* rec, uint32_t) {
    if (claim_one) rec->PacketLength = 1;
  };
  RecordTransfers(top, seen);
  top.ComReceive(nullptr, nullptr, "abc");
  claim_one = true;
  top.ComReceive(nullptr, nullptr, "d");
  std::string all;
  for (const TransferSeen& t : seen) all += t.data;
  EXPECT_EQ(all, "abcd");
}

TEST_F(Processing, PollsWalkFromTheClaimantUpToTheHead) {
  VMurDistributor below(nullptr);
  below.SetDistributor(&member);
  below.OnAdvancedComDecode() = ClaimThrough('.');
  std::vector<std::string> order;
  auto poll = [&order](const char* who) {
    return [&order, who](VMurGeneralDistributor* d, ChannelKey, uint32_t&, std::string_view data,
                         bool& processed) {
      order.push_back(std::string(who) + ":" + std::string(data) + ":" + std::to_string(processed) +
                      ":" + std::to_string(d->GetPacketLength(0)));
    };
  };
  top.OnAdvancedRecvPoll() = poll("top");
  member.OnAdvancedRecvPoll() = poll("member");
  below.OnAdvancedRecvPoll() = poll("below");
  top.ComReceive(nullptr, nullptr, "xy.z");
  // Each sees the packet while holding the claim, which then moves one step up.
  EXPECT_EQ(order, (std::vector<std::string>{"below:xy.:0:3", "member:xy.:0:3", "top:xy.:0:3"}));
}

TEST_F(Processing, DataSentFromATransferHandlerIsProcessedAfterwards) {
  std::vector<std::string> events;
  top.OnAdvancedComDecode() = ClaimThrough('\n');
  top.OnAdvancedSendTransfer() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                     std::string_view data, VMurGeneralDistributor*, bool) {
    events.push_back("send-transfer:" + std::string(data));
    if (data == "ping\n") {
      uint32_t now = 0;
      top.SendComData(now, "pong\n");
      events.push_back("sent");
    }
  };
  uint32_t now = 0;
  top.SendComData(now, "ping\n");
  EXPECT_EQ(events,
            (std::vector<std::string>{"send-transfer:ping\n", "sent", "send-transfer:pong\n"}));
}

TEST_F(Processing, HandledExceptionsGoOnAndUnhandledOnesStillReleaseTheBuffer) {
  top.OnAdvancedComDecode() = ClaimThrough('\n');
  std::vector<int> ids;
  bool handle = true;
  top.OnCallbackException() = [&](VMurGeneralDistributor*, const Exception&, int id,
                                  bool& handled) {
    ids.push_back(id);
    handled = handle;
  };
  top.OnAdvancedRecvTransfer() = [](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                    std::string_view, VMurGeneralDistributor*,
                                    bool) { throw Exception("display failed"); };
  RecordTransfers(member, seen);
  top.ComReceive(nullptr, nullptr, "a\n");
  EXPECT_EQ(seen.size(), 1u);  // the next handler still ran
  EXPECT_EQ(ids, std::vector<int>{21});

  handle = false;
  top.SetDoTimerAfterData(false);
  EXPECT_THROW(top.ComReceive(nullptr, nullptr, "b\n"), Exception);
  EXPECT_FALSE(top.Buffer(0).Busy);
  top.OnAdvancedRecvTransfer() = nullptr;
  seen.clear();
  top.ComReceive(nullptr, nullptr, "c\n");
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().data, "c\n");
}

TEST_F(Processing, ExceptionsOutsideTheGeneralClassAlwaysPropagate) {
  bool routed = false;
  top.OnCallbackException() = [&](VMurGeneralDistributor*, const Exception&, int, bool& handled) {
    routed = true;
    handled = true;
  };
  top.OnAdvancedComDecode() = [](VMurGeneralDistributor*, ChannelKey,
                                 VMurDistributor_ChannelRecord*,
                                 uint32_t) { throw std::logic_error("bug"); };
  EXPECT_THROW(top.ComReceive(nullptr, nullptr, "x"), std::logic_error);
  EXPECT_FALSE(routed);
  EXPECT_FALSE(top.Buffer(0).Busy);
}

TEST_F(Processing, MainChannelDeletedDuringProcessingStillShowsLaterData) {
  top.OnAdvancedComDecode() = ClaimThrough('\n');
  bool drop_once = true;
  top.OnAdvancedRecvPoll() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&, std::string_view,
                                 bool&) {
    if (drop_once) {
      drop_once = false;
      top.DeleteChannel(nullptr);
    }
  };
  RecordTransfers(top, seen);
  top.ComReceive(nullptr, nullptr, "first\nlost\n");
  EXPECT_EQ(seen, (std::vector<TransferSeen>{{"first\n", &top, false}}));
  EXPECT_FALSE(top.Buffer(0).Busy);
  top.ComReceive(nullptr, nullptr, "later\n");
  EXPECT_EQ(seen.back(), (TransferSeen{"later\n", &top, false}));
}

TEST_F(Processing, UnclaimedBytesKeptAreBoundedWithoutLosingTransfers) {
  top.SetKeepTransferredLimit(100);
  top.OnAdvancedComDecode() = ClaimThrough('\n');
  RecordTransfers(top, seen);
  std::string sent;
  for (int block = 0; block < 50; ++block) {
    const std::string bytes(37, static_cast<char>('a' + block % 26));
    top.ComReceive(nullptr, nullptr, bytes);
    sent += bytes;
    EXPECT_LE(top.Buffer(0).Data.size(), 100u);
  }
  top.ComReceive(nullptr, nullptr, "\n");
  sent += "\n";
  std::string all;
  for (const TransferSeen& t : seen) all += t.data;
  EXPECT_EQ(all, sent);
  EXPECT_EQ(seen.back().lowest, &top);

  // Within the limit nothing changes: the claim covers every byte since the last packet.
  seen.clear();
  top.ComReceive(nullptr, nullptr, std::string(60, 'x'));
  top.ComReceive(nullptr, nullptr, std::string(30, 'y') + "\n");
  EXPECT_EQ(top.Buffer(0).Data.size(), 0u);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].data, std::string(30, 'y') + "\n");
}

TEST_F(Processing, ManyPacketsInOneBlockAreAllDelivered) {
  top.OnAdvancedComDecode() = ClaimThrough(';');
  size_t packets = 0;
  top.OnAdvancedRecvPoll() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&, std::string_view,
                                 bool&) { ++packets; };
  std::string block;
  for (int i = 0; i < 5000; ++i) block += "a;";
  top.ComReceive(nullptr, nullptr, block);
  EXPECT_EQ(packets, 5000u);
}

TEST_F(Processing, SelfFeedingHandlerIsStoppedByTheRunawayGuard) {
  std::vector<std::string> notices;
  SetNoticeObserver([&](std::string_view text) { notices.emplace_back(text); });
  top.OnAdvancedComDecode() = ClaimThrough(';');
  uint32_t now = 0;
  int echoes = 0;
  // Every packet sent is sent again: without the guard this never ends.
  top.OnAdvancedSendPoll() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                 std::string_view data, bool&) {
    ++echoes;
    top.SendComData(now, data);
  };
  top.SendComData(now, "x;");
  SetNoticeObserver(nullptr);
  EXPECT_EQ(notices, std::vector<std::string>{"problem"});
  EXPECT_GT(echoes, 1000);
  EXPECT_LT(echoes, 1100);
  EXPECT_TRUE(top.Buffer(1).Data.empty());
}

}  // namespace
}  // namespace kestrova
