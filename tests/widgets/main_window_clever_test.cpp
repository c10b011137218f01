// The ports as the port-name wrapper serves them: port 2 as a TCP server whose peers' data are
// port 2's data, port 1 on a USB bridge with its data and its diagnostic lines.
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "cp2112/cp2112_runtime.h"
#include "cp2112/sim_bridge.h"
#include "main_window_fixture.h"
#include "net/tcp_test_support.h"
#include "support/terminal_view_cases.h"
#include "terminal/line_type.h"

namespace kestrova::test {
namespace {

using std::chrono::seconds;
using testing::ViewText;

const QColor kPurple(128, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 128, 0);

class MainWindowClever : public MainWindowFixture {
 protected:
  MainWindowClever() { Store("LogCom1", 1); }
  // The window's bridge goes before the worker that serves it.
  ~MainWindowClever() override { window.reset(); }

  void Open() {
    OpenWindow();
    window->Terminal().SetShowOptions(0);
    window->Logger()->SetOptions(vslofLinetype);
  }
  void Type(const char* box_name, const std::string& text) {
    auto* box = Find<QComboBox>(box_name);
    box->setEditText(QString::fromStdString(text));
    emit box->lineEdit()->editingFinished();
  }
  std::string View() { return ViewText(*window->Terminal().Output().View()); }
  bool Until(const std::function<bool()>& done) { return loop.RunUntil(done, seconds(5)); }
  QColor BoxColor(const char* name) {
    return Find<QComboBox>(name)->palette().color(QPalette::Text);
  }
  // Whether the view holds a line of `type` (told by its colour) with `text` in it.
  bool ShowsLine(VMurTerminal_LineType type, const std::string& text) {
    const std::vector<TextRun> runs = window->Terminal().Output().View()->Runs();
    return std::any_of(runs.begin(), runs.end(), [&](const TextRun& run) {
      return run.color == StyleOf(type).color && run.text.find(text) != std::string::npos;
    });
  }

  // Port 2 named "tcp://<port>" as `name_port2` does it, a peer that says a line, the window
  // closed: the view, the log and the stored name.
  void ServePeerOnPort2(const std::function<void(const std::string&)>& name_port2, bool log_port2) {
    Store("LogCom2", log_port2 ? 1 : 0);
    const int port = testing::FreePort();
    const std::string name = "tcp://" + std::to_string(port);
    name_port2(name);
    ASSERT_NE(window->Port2().TcpComponent(), nullptr);
    ASSERT_TRUE(window->Port2().TcpComponent()->ServerListening());
    EXPECT_EQ(BoxColor("ComboPort2"), kPurple) << "listening, nobody yet";

    testing::Fd peer = testing::ConnectLoopback(port);
    ASSERT_TRUE(peer.valid());
    EXPECT_TRUE(Until([&] { return BoxColor("ComboPort2") == kBlue; }));
    ASSERT_TRUE(testing::SendAll(peer.get(), "from the peer\nx"));
    const std::string port2_line = std::string(StyleOf(VMurTerminal_ltOutLine).view_prefix);
    ASSERT_TRUE(Until([&] {
      return View().find(port2_line + "from the peer") != std::string::npos;
    })) << View();
    EXPECT_EQ(BoxColor("ComboPort2"), kGreen);
    EXPECT_EQ(View().find("from the peer"), View().rfind("from the peer")) << "shown once";
    peer.Reset();
    window->close();
    EXPECT_EQ(LogText().find("from the peer") != std::string::npos, log_port2) << LogText();
    EXPECT_EQ(Stored("Port2"), name);
  }

  testing::SimBridge sim;  // before the runtime, which loads the library it names
  CP2112Runtime runtime;
};

TEST_F(MainWindowClever, Port2TypedAsTcpServerShowsAndLogsItsPeersDataAsPort2) {
  ServePeerOnPort2(
      [this](const std::string& name) {
        Open();
        Type("ComboPort2", name);
      },
      true);
}

TEST_F(MainWindowClever, Port2StoredAsTcpServerListensAtStartUpAndLogsOnlyWhenTicked) {
  ServePeerOnPort2(
      [this](const std::string& name) {
        Store("Port2", name);
        Open();
      },
      false);
}

TEST_F(MainWindowClever, Port1OnABridgeShowsItsPayloadAndDiagnosticLines) {
  sim.AddDevice("SIM001", "Maker", "Bridge");
  Open();
  window->Port1().SetCP2112DebugLevels({cp2112dlError, cp2112dlWarning, cp2112dlAllCalls});
  Type("ComboPort1", "SIM001");
  EXPECT_EQ(window->Port1().Kind(), CleverCommKind::kCP2112);
  ASSERT_TRUE(Until([&] { return window->Port1().Connected(); }));
  EXPECT_TRUE(Until([&] { return BoxColor("ComboPort1") == kBlue; }));

  sim.TrailNextReply(0, 0x55);  // an out-of-step slave: the bridge is reset
  sim.Reply(0, ":\x0Bhello there");
  const std::string port1_line = std::string(StyleOf(VMurTerminal_ltInLine).view_prefix);
  EXPECT_TRUE(Until([&] { return View().find(port1_line + "hello there") != std::string::npos; }))
      << View();
  EXPECT_TRUE(Until([&] { return ShowsLine(VMurTerminal_ltExtraR, "Need USB reset"); })) << View();
  EXPECT_TRUE(ShowsLine(VMurTerminal_ltPlusMag, "read: ")) << View();
  window->close();
  EXPECT_NE(LogText().find("hello there"), std::string::npos) << LogText();
  EXPECT_EQ(Stored("Port1"), "SIM001");
}

}  // namespace
}  // namespace kestrova::test
