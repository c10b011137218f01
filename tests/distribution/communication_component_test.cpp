#include "distribution/communication_component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_transport.h"

namespace kestrova {
namespace {

using testing::FakeTransport;

struct Heard {
  std::vector<std::string> events;  // "plain:<state|bytes>" or "advanced:<channel>:..."
};

std::string Name(ChannelKey channel, const FakeTransport& self) {
  if (channel.IsNil()) return "nil";
  return channel == ChannelKey(&self) ? "self" : "peer";
}

void Listen(FakeTransport& transport, Heard& heard) {
  transport.SetOnReceiveData([&heard](VMurCommunicationComponent*, std::string_view data) {
    heard.events.push_back("plain:" + std::to_string(data.size()));
  });
  transport.SetOnAdvancedReceiveData([&heard, &transport](VMurCommunicationComponent*,
                                                          ChannelKey channel, std::string_view d) {
    heard.events.push_back("advanced:" + Name(channel, transport) + ":" + std::to_string(d.size()));
  });
  transport.SetOnStateChange([&heard](Object*, TCommState state) {
    heard.events.push_back("plain:state" + std::to_string(state));
  });
  transport.SetOnAdvancedStateChange(
      [&heard, &transport](VMurCommunicationComponent*, ChannelKey channel, TCommState state) {
        heard.events.push_back("advanced:" + Name(channel, transport) + ":state" +
                               std::to_string(state));
      });
}

TEST(CommunicationComponent, MainChannelIsNilOrTheComponentItself) {
  for (bool as_nil : {true, false}) {
    FakeTransport transport;
    Heard heard;
    Listen(transport, heard);
    transport.SetTreatMainChannelAsNil(as_nil);
    transport.Receive("abc");
    transport.ChangeState(ChannelKey(), CommStateConnected);
    const std::string main = as_nil ? "nil" : "self";
    EXPECT_EQ(heard.events,
              (std::vector<std::string>{"plain:3", "advanced:" + main + ":3", "plain:state2",
                                        "advanced:" + main + ":state2"}));
  }
}

TEST(CommunicationComponent, PeerStateReachesOnlyTheAdvancedEvent) {
  FakeTransport transport;
  Object peer;
  Heard heard;
  Listen(transport, heard);
  transport.ChangeState(&peer, CommStateFailed);
  EXPECT_EQ(heard.events, std::vector<std::string>{"advanced:peer:state0"});
}

TEST(CommunicationComponent, LongBlocksAreSplitToWhatOneEventCarries) {
  FakeTransport transport;
  Heard heard;
  Listen(transport, heard);
  transport.Receive(std::string(2 * 65535 + 10, 'x'));
  EXPECT_EQ(heard.events,
            (std::vector<std::string>{"plain:65535", "advanced:nil:65535", "plain:65535",
                                      "advanced:nil:65535", "plain:10", "advanced:nil:10"}));
}

TEST(CommunicationComponent, WriteToAForeignChannelIsRefused) {
  FakeTransport transport;
  transport.StartComm();
  Object peer;
  EXPECT_FALSE(transport.WriteCommDataTo(&peer, "x"));
  EXPECT_TRUE(transport.writes.empty());
  EXPECT_TRUE(transport.WriteCommDataTo(ChannelKey(), "ab"));
  transport.SetTreatMainChannelAsNil(false);
  EXPECT_FALSE(transport.WriteCommDataTo(ChannelKey(), "cd"));
  EXPECT_TRUE(transport.WriteCommDataTo(&transport, "ef"));
  ASSERT_EQ(transport.writes.size(), 2u);
  EXPECT_EQ(transport.writes[0].second, "ab");
  EXPECT_EQ(transport.writes[1].second, "ef");
}

TEST(CommunicationComponent, TransportWithoutADialogReportsSuccess) {
  FakeTransport transport;
  transport.SetConfigAsString("cfg");
  EXPECT_TRUE(transport.ShowSettingsDialog());
  EXPECT_EQ(transport.GetConfigAsString(), "cfg");
}

}  // namespace
}  // namespace kestrova
