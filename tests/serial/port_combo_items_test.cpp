#include "serial/port_combo_items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(PortComboItems, ADeviceIsListedOnceWhateverNameStandsForIt) {
  const std::vector<std::string> listed = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"};
  struct Case {
    const char* port;
    int item;  // the listed entry that stands for it, -1 for none
  };
  for (const Case& c : std::initializer_list<Case>{{"/dev/ttyS1", 1},
                                                   {"COM1", 0},
                                                   {"com2", 1},
                                                   {"\\\\?\\COM1", 0},
                                                   {"ttyUSB0", 2},
                                                   {"/dev/ttyusb0", -1},
                                                   {"COM3", -1},
                                                   {"", -1}}) {
    SCOPED_TRACE(c.port);
    EXPECT_EQ(FindPortItem(listed, c.port), c.item);
    std::vector<std::string> expected = listed;
    if (c.item < 0 && *c.port != '\0') expected.push_back(c.port);
    std::sort(expected.begin(), expected.end(), PortNameLess);
    EXPECT_EQ(PortComboItems(listed, c.port), expected);
  }
  EXPECT_EQ(PortComboItems({"/dev/ttyS1", "/dev/ttyS0"}, "COM1"),
            (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS1"}));
}

TEST(PortComboItems, ByIdNamesStayBesideTheirPortAndCanBeTheConfiguredOne) {
  const std::string ftdi = "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0";
  const std::string gone = "/dev/serial/by-id/usb-Gone_Adapter-if00-port0";
  const std::vector<std::string> listed = {"/dev/ttyUSB10", "/dev/ttyUSB2", ftdi, "/dev/ttyS0"};
  EXPECT_EQ(PortComboItems(listed, ftdi),
            (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB2", ftdi, "/dev/ttyUSB10"}));
  EXPECT_EQ(FindPortItem(PortComboItems(listed, ftdi), ftdi), 2);
  EXPECT_EQ(PortComboItems(listed, gone),
            (std::vector<std::string>{gone, "/dev/ttyS0", "/dev/ttyUSB2", ftdi, "/dev/ttyUSB10"}))
      << "an unplugged adapter's name stands alone";
}

}  // namespace
}  // namespace kestrova
