#include "cp2112/mur_comm_cp2112.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cp2112/cp2112_runtime.h"
#include "cp2112/sim_bridge.h"
#include "support/poll_main_loop.h"
#include "util/debug_switch.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLimit{5000};
constexpr int32_t kFailure = 16;

struct WantFreeDeleter {
  void operator()(VMurCommCP2112* comm) const { comm->WantFree(); }
};
using CommPtr = std::unique_ptr<VMurCommCP2112, WantFreeDeleter>;

// What a component reported: data, diagnostics by pseudo-channel, states.
struct Recorder {
  explicit Recorder(VMurCommCP2112& comm) {
    comm.SetOnReceiveData(
        [this](VMurCommunicationComponent*, std::string_view data) { received.append(data); });
    comm.SetOnAdvancedReceiveData(
        [this](VMurCommunicationComponent*, ChannelKey channel, std::string_view text) {
          if (channel.IsPseudo()) diagnostics[channel.PseudoNumber()].emplace_back(text);
        });
    comm.SetOnStateChange([this](Object*, TCommState state) { states.push_back(state); });
  }
  bool Said(int channel, const std::string& text) const {
    auto found = diagnostics.find(channel);
    if (found == diagnostics.end()) return false;
    return std::find(found->second.begin(), found->second.end(), text) != found->second.end();
  }

  std::string received;
  std::map<int, std::vector<std::string>> diagnostics;
  std::vector<TCommState> states;
};

class CP2112Test : public ::testing::Test {
 protected:
  CP2112Test() {
    sim.AddDevice("A1", "Maker", "Bridge");
    sim.AddDevice(nullptr, "Maker", "Bridge");  // serial number unreadable
  }

  CommPtr Make(const std::string& name, TProtocolCP2112 protocol = cp2112pSPA9) {
    CommPtr comm(new VMurCommCP2112(nullptr));
    comm->SetCommPort(name);
    comm->SetProtocol(protocol);
    recorder = std::make_unique<Recorder>(*comm);
    return comm;
  }
  CommPtr Open(const std::string& name, TProtocolCP2112 protocol = cp2112pSPA9) {
    CommPtr comm = Make(name, protocol);
    EXPECT_TRUE(comm->StartComm()) << comm->OpenFailureText();
    return comm;
  }
  bool RunUntil(const std::function<bool()>& done) { return main_loop.loop.RunUntil(done, kLimit); }

  testing::SimBridge sim;  // first: the runtime loads the library it names
  testing::PollMainLoop main_loop;
  CP2112Runtime runtime;
  std::unique_ptr<Recorder> recorder;
};

TEST_F(CP2112Test, ListsOnlyBridgesWithAReadableSerialNumberOfTheirOwn) {
  sim.AddDevice("SAME", "SAME", "SAME");  // never given strings of its own
  sim.AddDevice("B2", "Maker", "Bridge");
  EXPECT_EQ(ListCP2112Devices(), (std::vector<std::string>{"A1", "B2"}));
  EXPECT_TRUE(IsCP2112Name("B2"));
  EXPECT_FALSE(IsCP2112Name("SAME"));
  EXPECT_FALSE(IsCP2112Name("="));
  sim.FailCall("HidSmbus_GetNumDevices", kFailure, 1);
  EXPECT_TRUE(ListCP2112Devices().empty());
}

TEST_F(CP2112Test, AFailedOpenSaysWhyReportsFailedAndLeavesTheBridgeClosed) {
  struct Case {
    const char* failing;
    std::string name;
    std::string text;
  } cases[] = {
      {"HidSmbus_GetNumDevices", "A1", "Error: HidSmbus_GetNumDevices returned 16"},
      {"HidSmbus_Open", "A1", "Cannot open \"A1\", returned 16"},
      {"HidSmbus_IsOpened", "A1", "Failed HidSmbus_IsOpened on \"A1\", returned 16"},
      {"HidSmbus_SetTimeouts", "A1", "Failed HidSmbus_SetTimeouts on \"A1\", returned 16"},
      {"HidSmbus_SetSmbusConfig", "A1", "Failed HidSmbus_SetSmbusConfig on \"A1\", returned 16"},
      {"", "Z9", "Requested device \"Z9\" not found"},
      {"", "=", "Requested device \"=\" not found"},  // not the unreadable one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (*c.failing != '\0') sim.FailCall(c.failing, kFailure, 1);
    CommPtr comm = Make(c.name);
    EXPECT_FALSE(comm->StartComm());
    EXPECT_EQ(comm->OpenFailureText(), c.text);
    EXPECT_EQ(comm->GetCommState(), CommStateFailed);
    EXPECT_FALSE(comm->WriteCommData("x"));
    EXPECT_TRUE(RunUntil([&] { return !recorder->states.empty(); }));
    EXPECT_EQ(recorder->states, std::vector<TCommState>{CommStateFailed});
    EXPECT_EQ(sim.OpenCount(1), 0);
  }
  // Nothing was left open by the failures: the bridge opens now.
  CommPtr comm = Make("A1");
  EXPECT_TRUE(comm->StartComm());
  EXPECT_TRUE(RunUntil([&] { return recorder->states == std::vector{CommStateConnected}; }));
}

TEST_F(CP2112Test, TheConfigurationStringIsThePortNameAndOpensIt) {
  sim.AddDevice("SN 7", "Maker", "Bridge");
  for (const std::string name : {"A1", "SN 7"}) {
    CommPtr source = Make(name);
    CommPtr comm = Make("");
    comm->SetConfigAsString(source->GetConfigAsString() + " rest");
    EXPECT_EQ(comm->CommPort(), name);
    EXPECT_TRUE(comm->Connected()) << comm->OpenFailureText();
  }
}

TEST_F(CP2112Test, HundredBytesGoOutAsSpa9FramesOf59And41AndStopCloses) {
  std::string data;
  for (int i = 0; i < 100; ++i) data.push_back(static_cast<char>(i));
  const std::string first = ":" + std::string(1, 59) + data.substr(0, 59);
  const std::string second = ":" + std::string(1, 41) + data.substr(59);
  struct Case {
    int write_busy, failing_writes;
    std::vector<std::string> bus;
  } cases[] = {{0, 0, {first, second}}, {4, 0, {first, second}}, {0, 1, {second}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.write_busy * 10 + c.failing_writes);
    sim.SetBusy(0, 0, c.write_busy);
    sim.FailTransfers(0, 0, c.failing_writes);
    const int closed_before = sim.CallCount("HidSmbus_Close");
    const int requests_before = sim.CallCount("HidSmbus_WriteRequest");
    CommPtr comm = Open("A1");
    ASSERT_TRUE(comm->WriteCommData(data));
    std::vector<std::string> bus;
    EXPECT_TRUE(RunUntil([&] {
      if (std::string taken = sim.TakeWritten(0); taken != "<none>") bus.push_back(taken);
      return bus.size() == c.bus.size() &&
             sim.CallCount("HidSmbus_WriteRequest") == requests_before + 2;
    }));
    EXPECT_EQ(bus, c.bus);
    main_loop.loop.RunFor(milliseconds(20));
    EXPECT_EQ(recorder->Said(513, "HidSmbus write transfer failed, status=3/0"),
              c.failing_writes > 0);

    comm->StopComm();
    EXPECT_FALSE(comm->Connected());
    EXPECT_FALSE(comm->WriteCommData("x"));
    EXPECT_EQ(recorder->states, (std::vector{CommStateConnected, CommStateDisconnected}));
    EXPECT_EQ(sim.CallCount("HidSmbus_Close"), closed_before + 1);
  }
}

TEST_F(CP2112Test, PolledSpa9RepliesArriveAsDataHoweverTheBridgeDeliversThem) {
  struct Case {
    int response_size, read_busy, empty_responses;
  } cases[] = {{61, 0, 0}, {7, 0, 0}, {1, 0, 0}, {61, 3, 0}, {61, 0, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.response_size * 100 + c.read_busy * 10 + c.empty_responses);
    sim.SetResponseSize(0, c.response_size);
    sim.SetBusy(0, c.read_busy, 0);
    CommPtr comm = Open("A1");
    sim.SetEmptyResponses(0, c.empty_responses);
    sim.Reply(0, ":\x05hello");
    sim.Reply(0, ":\x06 world");
    EXPECT_TRUE(RunUntil([&] { return recorder->received == "hello world"; }))
        << recorder->received;
  }
}

TEST_F(CP2112Test, OnlyPollingProtocolsReadTheSlave) {
  struct Case {
    TProtocolCP2112 protocol;
    std::string expected;
  } cases[] = {{cp2112pManualRead, ""},
               {cp2112pAutoRead, std::string("abc") + std::string(58, '\0')}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.protocol);
    sim.Reset();
    sim.AddDevice("A1", "Maker", "Bridge");
    sim.Reply(0, "abc");
    CommPtr comm = Open("A1", c.protocol);
    ASSERT_TRUE(comm->WriteCommData("x"));
    std::string written;
    EXPECT_TRUE(RunUntil([&] {
      if (written != "x") written = sim.TakeWritten(0);
      return written == "x" && recorder->received.size() >= c.expected.size();
    }));
    main_loop.loop.RunFor(milliseconds(700));  // two polling passes at least
    EXPECT_EQ(recorder->received.substr(0, c.expected.size()), c.expected);
    EXPECT_EQ(sim.CallCount("HidSmbus_ReadRequest") == 0, c.protocol == cp2112pManualRead);
  }
}

TEST_F(CP2112Test, DiagnosticsArriveOnlyForLevelsInTheSet) {
  const std::string warning = "Failed HidSmbus_ReadRequest on A1 , result=16";
  struct Case {
    CP2112DebugLevels levels;
    bool warned;
  } cases[] = {{{cp2112dlError}, false}, {{cp2112dlError, cp2112dlWarning}, true}};
  sim.FailCall("HidSmbus_ReadRequest", kFailure, -1);
  for (const Case& c : cases) {
    CommPtr comm = Make("A1");
    comm->SetDebugLevels(c.levels);
    ASSERT_TRUE(comm->StartComm());
    const int before = sim.CallCount("HidSmbus_ReadRequest");
    EXPECT_TRUE(RunUntil([&] { return sim.CallCount("HidSmbus_ReadRequest") >= before + 2; }));
    main_loop.loop.RunFor(milliseconds(50));
    EXPECT_EQ(recorder->Said(513, warning), c.warned);
    EXPECT_EQ(recorder->diagnostics.size(), c.warned ? 1u : 0u);
  }
}

TEST_F(CP2112Test, ABytePastTheFrameMakesTheWorkerReopenTheBridge) {
  CommPtr comm = Open("A1");
  sim.TrailNextReply(0, 0x55);
  sim.Reply(0, ":\x02ok");
  // Open again once the reopened bridge is set up.
  EXPECT_TRUE(RunUntil(
      [&] { return recorder->received == "ok" && sim.OpenCount(0) == 2 && comm->Connected(); }));
  EXPECT_TRUE(recorder->Said(512, "Need USB reset"));
  sim.Reply(0,
            ":\x03"
            "abc");
  EXPECT_TRUE(RunUntil([&] { return recorder->received == "okabc"; }));
}

TEST_F(CP2112Test, ABridgeResetIsAskedOfTheLibraryAndItsFailureReported) {
  CommPtr comm = Open("A1");
  comm->ResetBridge();
  sim.FailCall("HidSmbus_Reset", kFailure, 1);
  comm->ResetBridge();
  EXPECT_TRUE(RunUntil([&] { return sim.CallCount("HidSmbus_Reset") == 2; }));
  EXPECT_TRUE(RunUntil([&] { return !recorder->diagnostics.empty(); }));
  EXPECT_EQ(recorder->diagnostics[512],
            std::vector<std::string>{"Failed HidSmbus_Reset on A1 , returned 16"});
}

TEST_F(CP2112Test, ReadsThatKeepCompletingEmptyAreGivenUpAndReadingGoesOn) {
  CommPtr comm = Make("A1");
  comm->SetDebugLevels({cp2112dlError, cp2112dlWarning, cp2112dlCommonWarning});
  ASSERT_TRUE(comm->StartComm());
  sim.SetEmptyResponses(0, 1000);
  EXPECT_TRUE(RunUntil(
      [&] { return recorder->Said(513, "0 bytes read 11 times in a row, read given up"); }));
  EXPECT_EQ(std::count(recorder->diagnostics[514].begin(), recorder->diagnostics[514].end(),
                       "0 bytes read, trying again"),
            10);
  sim.Reply(0, ":\x02ok");
  EXPECT_TRUE(RunUntil([&] { return recorder->received == "ok"; }));
}

// Hears when a component it subscribed to goes away.
class Subscriber final : public Component {
 public:
  Subscriber() : Component(nullptr) {}
  void Notification(Component* component, Operation operation) override {
    if (operation == Operation::kRemove) gone.push_back(component);
    Component::Notification(component, operation);
  }
  std::vector<Component*> gone;
};

TEST_F(CP2112Test, WantFreeFromItsOwnHandlerFreesAfterTheHandlerAndClosesTheBridge) {
  Subscriber subscriber;
  auto* comm = new VMurCommCP2112(nullptr);
  comm->SetCommPort("A1");
  comm->FreeNotification(&subscriber);
  ASSERT_TRUE(comm->StartComm());
  std::string received;
  comm->SetOnReceiveData([&](VMurCommunicationComponent*, std::string_view data) {
    comm->StopComm();
    comm->WantFree();
    received.append(data);  // the component is still whole here
    EXPECT_FALSE(subscriber.gone.size());
  });
  sim.Reply(0, ":\x02ok");
  EXPECT_TRUE(RunUntil([&] { return !subscriber.gone.empty(); }));
  EXPECT_EQ(subscriber.gone, std::vector<Component*>{comm});
  EXPECT_EQ(received, "ok");
  EXPECT_EQ(sim.CallCount("HidSmbus_Close"), 1);
}

TEST(CP2112WithoutLibrary, NoBridgeIsListedOrRecognisedAndOpensFail) {
  struct Case {
    std::string path;
    std::string note;
  } cases[] = {
      {"/nonexistent/libslabhidtosmbus.so", "no CP2112 bridge library: "},
      {testing::SimBridge::kIncompletePath, "HidSmbus_CancelIo"},
  };
  testing::SimBridge sim;
  sim.AddDevice("A1", "Maker", "Bridge");
  testing::PollMainLoop main_loop;
  SetDebugSwitch(true);
  for (const Case& c : cases) {
    setenv("KESTROVA_CP2112_LIBRARY", c.path.c_str(), 1);
    ::testing::internal::CaptureStderr();
    CP2112Runtime runtime;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.note), std::string::npos) << said;
    EXPECT_TRUE(ListCP2112Devices().empty());
    EXPECT_FALSE(IsCP2112Name("A1"));
    CommPtr comm(new VMurCommCP2112(nullptr));
    comm->SetCommPort("A1");
    EXPECT_FALSE(comm->StartComm());
    EXPECT_EQ(comm->OpenFailureText(), "No CP2112 bridge library is loaded");
    EXPECT_EQ(comm->GetCommState(), CommStateFailed);
  }
  SetDebugSwitch(false);
}

}  // namespace
}  // namespace kestrova
