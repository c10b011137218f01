// The one-line configuration string of the serial component, both ways.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "serial/comm_errors.h"
#include "serial_test_support.h"

namespace kestrova {
namespace {

using testing::MainLoopScope;
using testing::MakeClosedComm;

constexpr const char* kDefaults = R"("COM1","19200","8","1","None","1/1 1/1","10 0 0 0 0")";

TEST(SerialConfigStringTest, DefaultsAsWritten) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  EXPECT_EQ(comm->GetConfigAsString(), kDefaults);
}

struct ParseCase {
  const char* input;
  const char* expected;  // GetConfigAsString afterwards, starting from the defaults
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.input; }

class SerialConfigParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(SerialConfigParseTest, ChangesOnlyWhatItNames) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  comm->SetConfigAsString(GetParam().input);
  EXPECT_EQ(comm->GetConfigAsString(), GetParam().expected) << "input: " << GetParam().input;
  EXPECT_TRUE(opened.empty()) << "nothing opens without AutoReconnect";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SerialConfigParseTest,
    ::testing::Values(
        ParseCase{"", kDefaults},
        ParseCase{R"("*","57600")", R"("COM1","57600","8","1","None","1/1 1/1","10 0 0 0 0")"},
        ParseCase{R"("COM2","57600")", R"("COM2","57600","8","1","None","1/1 1/1","10 0 0 0 0")"},
        // Blanks after the commas, unquoted fields and character codes read alike.
        ParseCase{R"("COM2", "57600")", R"("COM2","57600","8","1","None","1/1 1/1","10 0 0 0 0")"},
        ParseCase{"#67#79#77#51,115200",
                  R"("COM3","115200","8","1","None","1/1 1/1","10 0 0 0 0")"},
        ParseCase{R"(,"12345")", kDefaults}, ParseCase{R"(,"19200.0")", kDefaults},
        ParseCase{R"(,,"4")", R"("COM1","19200","4","1","None","1/1 1/1","10 0 0 0 0")"},
        ParseCase{R"(,,"9")", kDefaults}, ParseCase{R"(,,"x")", kDefaults},
        ParseCase{R"(,,,"1.5","Mark")",
                  R"("COM1","19200","8","1.5","Mark","1/1 1/1","10 0 0 0 0")"},
        ParseCase{R"(,,,"1.50","even")", kDefaults},
        ParseCase{R"(,,,,,"2/0 3/1")", R"("COM1","19200","8","1","None","2/0 3/1","10 0 0 0 0")"},
        ParseCase{R"(,,,,,"1/FALSE 1/true")",
                  R"("COM1","19200","8","1","None","1/0 1/1","10 0 0 0 0")"},
        ParseCase{R"(,,,,,"1/yes 0")", R"("COM1","19200","8","1","None","1/1 0/1","10 0 0 0 0")"},
        ParseCase{R"(,,,,,"3/0 4/0")", R"("COM1","19200","8","1","None","1/0 1/0","10 0 0 0 0")"},
        ParseCase{R"(,,,,,,"20 x 5")", R"("COM1","19200","8","1","None","1/1 1/1","20 0 5 0 0")"},
        ParseCase{R"(,,,,,,"4294967295 1 2 3 4")",
                  R"("COM1","19200","8","1","None","1/1 1/1","4294967295 1 2 3 4")"},
        ParseCase{R"("My, port")", R"("My, port","19200","8","1","None","1/1 1/1","10 0 0 0 0")"},
        // A quote in the name is written doubled, so the string reads back.
        ParseCase{R"("a""b")", R"("a""b","19200","8","1","None","1/1 1/1","10 0 0 0 0")"}));

TEST(SerialConfigStringTest, WrittenStringReadsBackIntoAnotherComponent) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto source = MakeClosedComm(&opened, false);
  source->SetConfigAsString(
      R"("/dev/serial/by-id/usb-x ""1""","921600","7","2","Space","0/0 3/0","1 2 3 4 5")");
  auto copy = MakeClosedComm(&opened, false);
  copy->SetConfigAsString(source->GetConfigAsString());
  EXPECT_EQ(copy->GetConfigAsString(), source->GetConfigAsString());
  EXPECT_EQ(copy->CommPort(), "/dev/serial/by-id/usb-x \"1\"");
  EXPECT_EQ(copy->BaudRate(), TBaudRate::_921600);
  EXPECT_EQ(copy->Signals().RTSControl(), VMurSignalControl_RTSToggle);
  EXPECT_FALSE(copy->Signals().DTR());
}

TEST(SerialConfigStringTest, NegativeTimeLimitIsRefusedWithNothingChanged) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, true);
  EXPECT_THROW(comm->SetConfigAsString(R"("COM7","57600","7","2","Odd","2/0 2/0","5 -1")"),
               ESerialRangeError);
  EXPECT_EQ(comm->GetConfigAsString(), kDefaults);
  EXPECT_TRUE(opened.empty()) << "a refused string opens nothing";
  EXPECT_THROW(comm->SetConfigAsString(R"(,,,,,,"4294967296")"), ESerialRangeError);
}

struct ReopenCase {
  const char* name;
  bool auto_reconnect;
  const char* input;
  std::vector<std::string> expected_opens;
};

void PrintTo(const ReopenCase& c, std::ostream* out) { *out << c.name; }

class SerialConfigReopenTest : public ::testing::TestWithParam<ReopenCase> {};

TEST_P(SerialConfigReopenTest, ClosedPortOpensOnlyWithAutoReconnect) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, GetParam().auto_reconnect);
  comm->SetConfigAsString(GetParam().input);
  EXPECT_EQ(opened, GetParam().expected_opens);
  EXPECT_EQ(comm->GetCommState(),
            GetParam().expected_opens.empty() ? CommStateDisconnected : CommStateFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialConfigReopenTest,
    ::testing::Values(ReopenCase{"EmptyRetries", true, "", {"/dev/ttyS0"}},
                      ReopenCase{"EmptyWithoutAutoReconnect", false, "", {}},
                      ReopenCase{"ChangedPortOpensNewOne", true, "COM2,57600", {"/dev/ttyS1"}},
                      ReopenCase{"ChangedWithoutAutoReconnect", false, "COM2,57600", {}},
                      ReopenCase{"PathKeptAsIs", true, "/dev/ttyUSB3", {"/dev/ttyUSB3"}}),
    [](const ::testing::TestParamInfo<ReopenCase>& param_info) { return param_info.param.name; });

TEST(SerialConfigStringTest, FailedOpenKeepsTheErrorForTheUser) {
  MainLoopScope scope;
  std::vector<std::string> opened;
  auto comm = MakeClosedComm(&opened, false);
  comm->SetConfigAsString("COM9");
  EXPECT_EQ(comm->LastError(), 0);
  EXPECT_FALSE(comm->StartComm());
  EXPECT_EQ(comm->LastError(), ENOENT);
  EXPECT_EQ(comm->LastErrorText(), "No such device");
  EXPECT_EQ(comm->GetCommState(), CommStateFailed);
  EXPECT_TRUE(comm->DeviceName().empty());
}

}  // namespace
}  // namespace kestrova
