#include "clever_comm/clever_port_list.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using Names = std::vector<std::string>;

TEST(CleverPortListTest, BridgesComeFirstThenTheSerialPortsInOrder) {
  struct Case {
    Names bridges, serial;
    std::string comm_port;
    Names items;
  } cases[] = {
      {{"Z9", "A1"}, {"/dev/ttyS10", "/dev/ttyS2"}, "", {"Z9", "A1", "/dev/ttyS2", "/dev/ttyS10"}},
      // A configured port that is absent stays selectable, among the serial ports.
      {{"A1"}, {"/dev/ttyS2"}, "/dev/ttyUSB0", {"A1", "/dev/ttyS2", "/dev/ttyUSB0"}},
      // A configured bridge is listed once.
      {{"A1"}, {"/dev/ttyS2"}, "A1", {"A1", "/dev/ttyS2"}},
      {{}, {}, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.comm_port);
    EXPECT_EQ(CleverPortItems(c.bridges, c.serial, c.comm_port), c.items);
  }
}

}  // namespace
}  // namespace kestrova
