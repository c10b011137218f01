// What the settings dialog shows for a component and how OK applies it (without the window).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/serial_dialog_model.h"
#include "serial_test_support.h"

namespace kestrova {
namespace {

using testing::MainLoopScope;
using testing::MakeClosedComm;

struct LineShownCase {
  VMurDTRControl dtr_control;
  bool dtr;
  VMurRTSControl rts_control;
  bool rts;
  const char* dtr_text;
  const char* rts_text;
};

TEST(SerialDialogModelTest, ControlLinesShownAsTheListNamesThem) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  const LineShownCase cases[] = {
      {VMurSignalControl_DTREnable, true, VMurSignalControl_RTSEnable, true, "On", "On"},
      {VMurSignalControl_DTREnable, false, VMurSignalControl_RTSEnable, false, "Off", "Off"},
      {VMurSignalControl_DTROff, true, VMurSignalControl_RTSOff, false, "HighZ", "HighZ"},
      {VMurSignalControl_DTRHandshake, false, VMurSignalControl_RTSHandshake, true, "Handshake",
       "Handshake"},
      {VMurSignalControl_DTREnable, true, VMurSignalControl_RTSToggle, false, "On", "Toggle"},
  };
  for (const LineShownCase& c : cases) {
    auto comm = MakeClosedComm(&opened, false);
    comm->Signals().SetDTRControl(c.dtr_control);
    comm->Signals().SetDTR(c.dtr);
    comm->Signals().SetRTSControl(c.rts_control);
    comm->Signals().SetRTS(c.rts);
    const SerialDialogValues values = ReadDialogValues(*comm);
    EXPECT_EQ(values.dtr, c.dtr_text);
    EXPECT_EQ(values.rts, c.rts_text);
  }
}

TEST(SerialDialogModelTest, ShownValuesApplyBackUnchanged) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  comm->SetConfigAsString(R"("ttyUSB0","57600","7","1.5","Odd","0/0 2/1","1 2 3 4 5")");
  comm->SetModemPollPeriod(25);
  comm->Options().SetSkipEvents({vsceERR, vsceTXEMPTY});
  const std::string before = comm->GetConfigAsString();
  const SerialDialogValues values = ReadDialogValues(*comm);
  EXPECT_EQ(values.baud_rate, "57600");
  EXPECT_EQ(values.stop_bits, "1.5");
  EXPECT_EQ(values.modem_poll_period, "25");
  EXPECT_EQ(values.timeouts[4], "5");
  EXPECT_EQ(values.preset, "---");
  ApplyDialogValues(*comm, values);
  EXPECT_EQ(comm->GetConfigAsString(), before);
  EXPECT_EQ(comm->ModemPollPeriod(), 25u);
  EXPECT_EQ(comm->Options().SkipEvents(), (VSSComm32SkipEvents{vsceERR, vsceTXEMPTY}));
}

TEST(SerialDialogModelTest, OkAppliesEveryControl) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  SerialDialogValues values = ReadDialogValues(*comm);
  values.port = "ttyACM1";
  values.baud_rate = "921600";
  values.data_bits = "5";
  values.parity = "Space";
  values.stop_bits = "2";
  values.dtr = "Off";
  values.rts = "Toggle";
  values.modem_poll_period = "50";
  values.timeouts = {"0", "100", "2", "300", "4"};
  values.cts_handshake = true;
  values.dsr_handshake = true;
  values.skip_events = VSSComm32SkipEvents{vsceBreak, vsceRING};
  ApplyDialogValues(*comm, values);
  EXPECT_EQ(comm->GetConfigAsString(),
            R"("ttyACM1","921600","5","2","Space","1/0 3/1","0 100 2 300 4")");
  EXPECT_EQ(comm->ModemPollPeriod(), 50u);
  EXPECT_TRUE(comm->Signals().CTSHandshake());
  EXPECT_TRUE(comm->Signals().DSRHandshake());
  EXPECT_EQ(comm->Options().SkipEvents(), (VSSComm32SkipEvents{vsceBreak, vsceRING}));
}

TEST(SerialDialogModelTest, UnknownTextsLeaveTheirSettingsAlone) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  comm->Signals().SetDTR(false);
  SerialDialogValues values = ReadDialogValues(*comm);
  values.baud_rate = "12345";
  values.parity = "none";
  values.dtr = "HighZ";  // the level stays as it was
  values.rts = "Sideways";
  values.modem_poll_period = "-5";
  values.timeouts = {"x", "", "1e3", "4294967296", " 7"};
  ApplyDialogValues(*comm, values);
  EXPECT_EQ(comm->GetConfigAsString(), R"("COM1","19200","8","1","None","0/0 1/1","10 0 0 0 0")");
  EXPECT_EQ(comm->ModemPollPeriod(), 10u);
}

struct PresetCase {
  const char* preset;
  const char* expected;
  bool cts_handshake;
};

TEST(SerialDialogModelTest, PresetOverridesWhatItNames) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  const PresetCase cases[] = {
      {"115k 8N1 On", R"("COM1","115200","8","1","None","1/1 2/1","10 0 0 0 0")", true},
      {"115k 8N1 Sleep", R"("COM1","115200","8","1","None","1/0 1/0","10 0 0 0 0")", true},
      {"PSP-405", R"("COM1","2400","8","1","None","1/1 1/1","10 0 0 0 0")", false},
      {"Metex M-4640A", R"("COM1","9600","7","2","None","1/1 1/0","10 0 0 0 0")", false},
      {"Fatek", R"("COM1","9600","7","1","Even","1/1 1/1","10 0 0 0 0")", false},
  };
  for (const PresetCase& c : cases) {
    auto comm = MakeClosedComm(&opened, false);
    SerialDialogValues values = ReadDialogValues(*comm);
    // Everything the preset names is chosen otherwise in the dialog; the preset wins.
    values.baud_rate = "300";
    values.data_bits = "6";
    values.parity = "Odd";
    values.stop_bits = "1.5";
    values.dtr = "HighZ";
    values.rts = "Off";
    values.cts_handshake = !c.cts_handshake;
    values.dsr_handshake = true;
    values.preset = c.preset;
    ApplyDialogValues(*comm, values);
    EXPECT_EQ(comm->GetConfigAsString(), c.expected) << c.preset;
    EXPECT_EQ(comm->Signals().CTSHandshake(), c.cts_handshake) << c.preset;
    EXPECT_FALSE(comm->Signals().DSRHandshake()) << c.preset;
  }
}

TEST(SerialDialogModelTest, ListsAndCaption) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  EXPECT_EQ(BaudRateItems().size(), 20u);
  EXPECT_EQ(BaudRateItems().front(), "110");
  EXPECT_EQ(BaudRateItems().back(), "1000000");
  EXPECT_EQ(RtsItems(), (std::vector<std::string>{"Off", "On", "HighZ", "Handshake", "Toggle"}));
  EXPECT_EQ(PresetItems().size(), 6u);
  EXPECT_EQ(SerialDialogCaption(*comm, ""), "Settings for COM1");
  EXPECT_EQ(SerialDialogCaption(*comm, "Port 2"), "Port 2");
}

}  // namespace
}  // namespace kestrova
