// Traffic arriving on the main window's two ports, as their components raise it, framed by the
// chosen protocol and shown in the terminal view and the log file.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>
#include <vector>

#include "distribution/top_distributor.h"
#include "main_window_fixture.h"
#include "support/pty_pair.h"
#include "support/terminal_view_cases.h"
#include "terminal/line_type.h"

namespace kestrova::test {
namespace {

using testing::PtyPair;
using testing::ViewText;

template <class T>
T* Control(TForm1& window, const char* name) {
  T* control = window.findChild<T*>(name);
  if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
  return control;
}

struct Step {
  int port;  // 1 or 2; 0 only moves the clock
  std::string bytes;
  uint32_t pause_ms = 0;  // time passing before the bytes arrive
};

struct TrafficCase {
  std::string name;
  Protocol protocol;
  std::function<void(TForm1&)> options;  // sets the window's boxes
  std::vector<Step> steps;
  std::string view;  // the terminal's text, lines separated by "\n"
  std::string log;   // the log file, with both ports' logging ticked unless `options` untick
};

void PrintTo(const TrafficCase& c, std::ostream* out) { *out << c.name; }

class MainWindowTraffic : public MainWindowFixture,
                          public ::testing::WithParamInterface<TrafficCase> {
 protected:
  void SetUp() override {
    Store("LogCom1", 1);
    Store("LogCom2", 1);
    OpenWindow();
    // Without line counts, times and dates the view and the log hold the traffic alone.
    window->Terminal().SetShowOptions(0);
    window->Logger()->SetOptions(vslofLinetype);
  }

  void Receive(int port, std::string_view bytes) {
    TMurCleverComm& component = port == 1 ? window->Port1() : window->Port2();
    component.OnReceiveData()(&component, bytes);
  }
  RichView& View() { return *window->Terminal().Output().View(); }
};

TEST_P(MainWindowTraffic, ReachesViewAndLog) {
  const TrafficCase& c = GetParam();
  Find<QGroupBox>("RGroupProto")
      ->findChildren<QRadioButton*>()[static_cast<int>(c.protocol)]
      ->click();
  if (c.options) c.options(*window);
  for (const Step& step : c.steps) {
    now += step.pause_ms;
    if (step.port != 0) Receive(step.port, step.bytes);
  }
  EXPECT_EQ(ViewText(View()), c.view);
  window->Logger()->Close();
  EXPECT_EQ(LogText(), c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainWindowTraffic,
    ::testing::Values(
        TrafficCase{"HexDelimiterEndsAndStartsPackets",
                    Protocol::kHex,
                    {},
                    {{1, std::string("\x7E\x01\x02\x7E\x7E\x03\x7E", 7)}},
                    "+ # 7E 01 02 7E\n+ # 7E 03 7E\n",
                    "+ ~<#01><#02>~\r\n+ ~<#03>~\r\n"},
        TrafficCase{"HexThreePlusSignsArePacketsOfTheirOwn",
                    Protocol::kHex,
                    {},
                    {{1, "AB+++"}},
                    "+ # 41 42\n+ # 2B 2B 2B\n",
                    "+ AB\r\n+ +++\r\n"},
        TrafficCase{"TextLineWaitsForTheByteAfterItsLineEnd",
                    Protocol::kText,
                    {},
                    {{1, "abc\r\n"}},
                    "+ abc<#0D><#0A>",
                    "+ abc\r\n"},
        TrafficCase{"TextPauseLongerThanTimeoutEndsTheLine",
                    Protocol::kText,
                    {},
                    {{1, "abc"}, {1, "def", 100}, {1, "ghi", 101}},
                    "+ abcdef\n+ ghi",
                    "+ abcdef\r\n+ ghi\r\n"},
        TrafficCase{"TimeoutZeroLeavesOnlyPacketEnds",
                    Protocol::kText,
                    [](TForm1& w) { Control<QLineEdit>(w, "EditTimeout")->setText("0"); },
                    {{1, "ab"}, {1, "cd", 5000}, {1, "\nx", 5000}},
                    "+ abcd<#0A>\n+ x",
                    "+ abcd\r\n+ x\r\n"},
        TrafficCase{"EmptyTimeoutLeavesOnlyPacketEnds",
                    Protocol::kText,
                    [](TForm1& w) { Control<QLineEdit>(w, "EditTimeout")->setText(""); },
                    {{1, "ab"}, {1, "cd", 5000}, {1, "\nx", 5000}},
                    "+ abcd<#0A>\n+ x",
                    "+ abcd\r\n+ x\r\n"},
        TrafficCase{"FatekFrameWithBadChecksumStillEndsAtEtx",
                    Protocol::kFatek,
                    {},
                    {{1,
                      "\x02"
                      "0140000\x03\x02"
                      "01"}},
                    "+ <#02>0140000<#03>\n+ <#02>01",
                    "+ <#02>0140000<#03>\r\n+ <#02>01\r\n"},
        TrafficCase{"A4A3FrameStartsAtA4",
                    Protocol::kA4A3,
                    {},
                    {{1, "\x11\x22\xA4\x33\xA3"}},
                    "+ <#11>\"\n+ <#A4>3<#A3>\n",
                    "+ <#11>\"\r\n+ <#A4>3<#A3>\r\n"},
        // The log does not tell the ports apart: both ports' data are "+" lines there.
        TrafficCase{"SkipByteLeavesPort2Alone",
                    Protocol::kText,
                    [](TForm1& w) { Control<QLineEdit>(w, "EditSkipByte")->setText("'x'"); },
                    {{1, "axbx\nxc"}, {2, "yx\nz"}},
                    "+ ab<#0A>\n+ c\n - yx<#0A>\n - z",
                    "+ ab\r\n+ cyx\r\n+ z\r\n"},
        TrafficCase{"StopHoldsTheViewButNotTheLog",
                    Protocol::kText,
                    [](TForm1& w) { Control<QCheckBox>(w, "CheckStop")->setChecked(true); },
                    {{1, "one\ntwo\n"}, {2, "three\n"}},
                    "",
                    "+ one\r\n+ two\r\n+ three\r\n"},
        TrafficCase{"LogFollowsThePortsTicks",
                    Protocol::kText,
                    [](TForm1& w) { Control<QCheckBox>(w, "CheckLog2")->setChecked(false); },
                    {{1, "a\n"}, {2, "b\n"}, {1, "c\n"}, {2, "d\n"}},
                    "+ a<#0A>\n - b<#0A>\n+ c<#0A>\n - d<#0A>",
                    "+ a\r\n+ c\r\n"}),
    [](const ::testing::TestParamInfo<TrafficCase>& param) { return param.param.name; });

TEST_F(MainWindowFixture, LinesTakeTheirKindsColoursAndTheFiltersHighlight) {
  OpenWindow();
  window->Terminal().SetShowOptions(0);
  TMurCleverComm& port1 = window->Port1();
  TMurCleverComm& port2 = window->Port2();
  window->Distributor().OnAdvancedRecvGetColor() = [&](VMurGeneralDistributor*, ChannelKey channel,
                                                       std::string_view, uint32_t, TColor& color) {
    if (channel == ChannelKey(&port2)) color = clRed;
  };
  port1.OnReceiveData()(&port1, "in\x01\nx");
  port2.OnReceiveData()(&port2, "out");
  const TColor black = StyleOf(VMurTerminal_ltInLine).color;
  const TColor escape = StyleOf(VMurTerminal_ltInLine).second_color;
  EXPECT_EQ(window->Terminal().Output().View()->Runs(),
            (std::vector<TextRun>{{"+ in", black, false},
                                  {"<#01><#0A>\n", escape, false},
                                  {"+ x\n", black, false},
                                  {" - out", clRed, true}}));
  // Data arriving colours the port's box green.
  EXPECT_EQ(Find<QComboBox>("ComboPort1")->palette().color(QPalette::Text), QColor(0, 128, 0));
  EXPECT_EQ(Find<QComboBox>("ComboPort2")->palette().color(QPalette::Text), QColor(0, 128, 0));
}

TEST_F(MainWindowFixture, AnExceptionOnPort1ClearsTheViewAndPort1GoesOn) {
  OpenWindow();
  TMurCleverComm& port1 = window->Port1();
  port1.OnReceiveData()(&port1, "kept\n");
  window->Distributor().OnAdvancedRecvGetColor() = [](auto&&...) -> TColor {
    throw Exception("filter failed");
  };
  EXPECT_NO_THROW(port1.OnReceiveData()(&port1, "x\ny"));
  EXPECT_EQ(window->Terminal().Output().View()->Length(), 0);
  // Port 2 has no such net: the transport hears of it.
  TMurCleverComm& port2 = window->Port2();
  EXPECT_THROW(port2.OnReceiveData()(&port2, "x\ny"), Exception);
}

TEST_F(MainWindowFixture, BridgeDiagnosticsBecomeWholeLines) {
  OpenWindow();
  window->Terminal().SetShowOptions(0);
  TMurCleverComm& port1 = window->Port1();
  port1.OnAdvancedReceiveData()(&port1, ChannelKey::Pseudo(512), "reset");
  port1.OnAdvancedReceiveData()(&port1, ChannelKey::Pseudo(516), "status");
  port1.OnAdvancedReceiveData()(&port1, ChannelKey(), "main data come the other way");
  const std::string text = ViewText(*window->Terminal().Output().View());
  EXPECT_EQ(text, std::string(StyleOf(VMurTerminal_ltExtraR).view_prefix) + "reset\n" +
                      std::string(StyleOf(VMurTerminal_ltPlusMag).view_prefix) + "status\n");

  // Each level's channel in its own kind, told by the kind's colour.
  const struct {
    int channel;
    VMurTerminal_LineType type;
  } kLevels[] = {{512, VMurTerminal_ltExtraR},
                 {513, VMurTerminal_ltExtraRR},
                 {514, VMurTerminal_ltExtraA},
                 {515, VMurTerminal_ltBinPlusGrey},
                 {516, VMurTerminal_ltPlusMag}};
  for (const auto& level : kLevels) {
    window->Terminal().Clear();
    port1.OnAdvancedReceiveData()(&port1, ChannelKey::Pseudo(level.channel), "said");
    const std::vector<TextRun> runs = window->Terminal().Output().View()->Runs();
    ASSERT_FALSE(runs.empty()) << level.channel;
    for (const TextRun& run : runs)
      EXPECT_EQ(run.color, StyleOf(level.type).color) << level.channel;
    EXPECT_EQ(ViewText(*window->Terminal().Output().View()).back(), '\n') << "a whole line";
  }
}

TEST_F(MainWindowFixture, BytesFromARealLineReachTheView) {
  PtyPair line;
  OpenWindow();
  window->Terminal().SetShowOptions(0);
  TMurCleverComm& port1 = window->Port1();
  port1.SetCommPort(line.slave_path());
  ASSERT_TRUE(port1.StartComm()) << port1.SerialComponent()->LastErrorText();
  line.Write("over the wire\r\nnext");
  const bool arrived = loop.RunUntil(
      [&] {
        return ViewText(*window->Terminal().Output().View()).find("next") != std::string::npos;
      },
      std::chrono::seconds(5));
  EXPECT_TRUE(arrived) << ViewText(*window->Terminal().Output().View());
  EXPECT_EQ(ViewText(*window->Terminal().Output().View()), "+ over the wire<#0D><#0A>\n+ next");
  port1.StopComm();
}

TEST_F(MainWindowFixture, TypedBytesGoOutOfPort1AndShowAsSent) {
  PtyPair line;
  Store("LogTimes", 1);
  OpenWindow();
  window->Terminal().SetShowOptions(0);
  window->Logger()->SetOptions(vslofLinetype);
  Find<QGroupBox>("RGroupProto")->findChildren<QRadioButton*>()[0]->click();  // Hex
  TMurCleverComm& port1 = window->Port1();
  port1.SetCommPort(line.slave_path());
  ASSERT_TRUE(port1.StartComm()) << port1.SerialComponent()->LastErrorText();

  VMurTerminal& terminal = window->Terminal();
  terminal.HexLineEdited("41 42");
  terminal.SendLine();  // with CR, which Hex leaves out
  EXPECT_EQ(line.Read(2, std::chrono::seconds(5)), "AB");
  terminal.HexLineEdited("43");
  terminal.SendDirect();  // no terminator: the byte is data
  EXPECT_EQ(line.Read(1, std::chrono::seconds(5)), "C");
  EXPECT_EQ(line.Read(1, std::chrono::milliseconds(100)), "");

  EXPECT_EQ(ViewText(*terminal.Output().View()),
            std::string(StyleOf(VMurTerminal_ltBinMinusBrown).view_prefix) + " 41 42 43");
  port1.StopComm();

  // Nothing is shown as sent when nothing could be.
  terminal.HexLineEdited("44");
  terminal.SendLine();
  EXPECT_NE(ViewText(*terminal.Output().View()).find("Port 1 is not open: nothing was sent"),
            std::string::npos);
  window->Logger()->Close();
  EXPECT_EQ(LogText(), std::string(StyleOf(VMurTerminal_ltMinusGrey).log_marker) + "ABC\r\n" +
                           std::string(StyleOf(VMurTerminal_ltExtra).log_marker) +
                           "Port 1 is not open: nothing was sent\r\n");
}

}  // namespace
}  // namespace kestrova::test
