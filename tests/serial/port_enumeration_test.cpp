#include "serial/port_enumeration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/serial_by_id.h"
#include "serial/serial_comm_map.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;

// A sysfs tree in a temporary directory, built the way the kernel lays out tty devices.
class FakeSysfs {
 public:
  FakeSysfs() {
    char pattern[] = "/tmp/kestrova-sysfs-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "class" / "tty");
  }
  ~FakeSysfs() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string root() const { return root_.string(); }

  // A tty whose device is bound to `driver` directly (USB serial, cdc_acm, an old 8250).
  void AddTty(const std::string& tty, const std::string& driver, int uart_type = -1) {
    const fs::path device = root_ / "devices" / ("dev-" + tty);
    Bind(device, driver, "usb-serial");
    AddClassEntry(tty, device, uart_type);
  }

  // A serial-core port of a newer kernel: tty -> port (serial-base) -> ctrl (serial-base) ->
  // the UART device with the real driver.
  void AddSerialBaseTty(const std::string& tty, const std::string& driver, int uart_type) {
    const fs::path uart = root_ / "devices" / "pnp0" / ("uart-" + tty);
    Bind(uart, driver, "pnp");
    Bind(uart / "ctrl0", "ctrl", "serial-base");
    Bind(uart / "ctrl0" / "port0", "port", "serial-base");
    AddClassEntry(tty, uart / "ctrl0" / "port0", uart_type);
  }

  // A tty without a device (a virtual console, an unbound rfcomm port).
  void AddVirtualTty(const std::string& tty) {
    fs::create_directories(root_ / "class" / "tty" / tty);
  }

 private:
  void Bind(const fs::path& device, const std::string& driver, const std::string& bus) {
    fs::create_directories(device);
    fs::create_directory_symlink(root_ / "bus" / bus / "drivers" / driver, device / "driver");
    fs::create_directory_symlink(root_ / "bus" / bus, device / "subsystem");
  }

  void AddClassEntry(const std::string& tty, const fs::path& device, int uart_type) {
    const fs::path entry = root_ / "class" / "tty" / tty;
    fs::create_directories(entry);
    fs::create_directory_symlink(device, entry / "device");
    if (uart_type >= 0) std::ofstream(entry / "type") << uart_type << "\n";
  }

  fs::path root_;
};

class PortEnumeration : public ::testing::Test {
 protected:
  void SetUp() override {
    sysfs_.AddVirtualTty("tty1");
    sysfs_.AddVirtualTty("console");
    sysfs_.AddVirtualTty("rfcomm0");
    sysfs_.AddSerialBaseTty("ttyS0", "serial", 4);
    sysfs_.AddSerialBaseTty("ttyS1", "serial", 0);  // no UART behind it
    sysfs_.AddTty("ttyS10", "serial8250", 4);
    sysfs_.AddTty("ttyS2", "serial8250", 4);
    sysfs_.AddTty("ttyUSB0", "cp210x");
    sysfs_.AddTty("ttyUSB1", "ftdi_sio");
    sysfs_.AddTty("ttyUSB2", "cp210x");
    sysfs_.AddTty("ttyUSB3", "ch341");
    sysfs_.AddTty("ttyACM1", "cdc_acm");
    sysfs_.AddTty("ttyACM0", "cdc_acm");
    SetSerialCommSysfsRoot(sysfs_.root());
    // The machine's own adapters stay out of the lists.
    by_id_ = fs::path(sysfs_.root()) / "by-id";
    SetSerialByIdFolder(by_id_.string());
  }
  void TearDown() override {
    SetSerialCommSysfsRoot("");
    SetSerialByIdFolder("");
  }

  // A link the way udev makes it, relative to the by-id folder.
  void AddByIdLink(const std::string& name, const std::string& tty) {
    fs::create_directories(by_id_);
    fs::create_symlink("../../" + tty, by_id_ / name);
  }

  FakeSysfs sysfs_;
  fs::path by_id_;
};

TEST_F(PortEnumeration, MapNamesEachPortAfterItsDriverInNaturalOrder) {
  const ErrnoResult<std::vector<SerialCommEntry>> map = ReadSerialCommMap(sysfs_.root());
  ASSERT_TRUE(map.ok()) << map.error;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"\\Device\\BtPort0", "/dev/rfcomm0"},   {"\\Device\\USBSER000", "/dev/ttyACM0"},
      {"\\Device\\USBSER001", "/dev/ttyACM1"}, {"\\Device\\Serial0", "/dev/ttyS0"},
      {"\\Device\\Serial1", "/dev/ttyS2"},     {"\\Device\\Serial2", "/dev/ttyS10"},
      {"\\Device\\Silabser0", "/dev/ttyUSB0"}, {"\\Device\\VCP0", "/dev/ttyUSB1"},
      {"\\Device\\Silabser1", "/dev/ttyUSB2"}, {"\\Device\\ch341_ttyUSB3", "/dev/ttyUSB3"},
  };
  ASSERT_EQ(map.value.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(map.value[i].value_name, expected[i].first) << i;
    EXPECT_EQ(map.value[i].port, expected[i].second) << i;
  }
}

TEST_F(PortEnumeration, DeviceNamesKeepTheDriverPrefixesTheDriverRulesLookFor) {
  const struct {
    const char* port;
    const char* device;
  } kCases[] = {
      {"COM1", "SERIAL0"},
      {"\\\\?\\COM1", "SERIAL0"},
      {"ttyS2", "SERIAL1"},
      {"ttyUSB2", "SILABSER1"},
      {"\\\\?\\ttyUSB2", "SILABSER1"},
      {"/dev/ttyACM0", "USBSER000"},
      {"rfcomm0", "BTPORT0"},
      {"ttyUSB3", "CH341_TTYUSB3"},
      {"COM2", "?"},  // ttyS1 has no UART
      {"ttyUSB9", "?"},
      {"", "?"},
  };
  for (const auto& c : kCases) EXPECT_EQ(GetDeviceName(c.port), c.device) << c.port;
}

TEST_F(PortEnumeration, ListGivesPortsAndDevicesSideBySideAfterClearingBoth) {
  std::vector<std::string> names = {"stale"};
  std::vector<std::string> devices = {"stale", "more"};
  ListCommPorts(names, &devices);
  ASSERT_EQ(names.size(), 10u);
  ASSERT_EQ(devices.size(), names.size());
  EXPECT_EQ(names[6], "/dev/ttyUSB0");
  EXPECT_EQ(devices[6], "\\Device\\Silabser0");
  std::vector<std::string> only_names;
  ListCommPorts(only_names, nullptr);
  EXPECT_EQ(only_names, names);
}

TEST_F(PortEnumeration, ByIdNamesFollowTheirPortInLinkNameOrder) {
  AddByIdLink("usb-Silicon_Labs_CP2102_0002-if00-port0", "ttyUSB2");
  AddByIdLink("usb-FTDI_FT232R_A50285BI-if00-port0", "ttyUSB1");
  AddByIdLink("usb-Silicon_Labs_CP2102_0001-if00-port0", "ttyUSB0");
  AddByIdLink("usb-Arduino_Uno_1234-if00", "ttyACM0");
  AddByIdLink("usb-Arduino_Uno_1234-if00-bis", "ttyACM0");
  AddByIdLink("usb-Gone_Adapter-if00-port0", "ttyUSB9");  // no such port in the map
  std::vector<std::string> names;
  std::vector<std::string> devices;
  ListCommPorts(names, &devices);
  const std::string by_id = by_id_.string() + "/";
  const std::vector<std::string> expected = {"/dev/rfcomm0",
                                             "/dev/ttyACM0",
                                             by_id + "usb-Arduino_Uno_1234-if00",
                                             by_id + "usb-Arduino_Uno_1234-if00-bis",
                                             "/dev/ttyACM1",
                                             "/dev/ttyS0",
                                             "/dev/ttyS2",
                                             "/dev/ttyS10",
                                             "/dev/ttyUSB0",
                                             by_id + "usb-Silicon_Labs_CP2102_0001-if00-port0",
                                             "/dev/ttyUSB1",
                                             by_id + "usb-FTDI_FT232R_A50285BI-if00-port0",
                                             "/dev/ttyUSB2",
                                             by_id + "usb-Silicon_Labs_CP2102_0002-if00-port0",
                                             "/dev/ttyUSB3"};
  EXPECT_EQ(names, expected);
  ASSERT_EQ(devices.size(), names.size());
  EXPECT_EQ(devices[2], "\\Device\\USBSER000") << "a by-id name has its port's device";
}

TEST(PortEnumerationFailures, NoMapGivesUnknownAndAnUnreadableOneInvalid) {
  FakeSysfs empty;
  fs::remove(fs::path(empty.root()) / "class" / "tty");
  SetSerialCommSysfsRoot(empty.root());
  std::vector<std::string> names = {"stale"};
  ListCommPorts(names, nullptr);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(GetDeviceName("COM1"), "?");

  std::ofstream(fs::path(empty.root()) / "class" / "tty") << "not a directory";
  EXPECT_EQ(GetDeviceName("COM1"), "__INVALID__");
  ListCommPorts(names, nullptr);
  EXPECT_TRUE(names.empty());
  SetSerialCommSysfsRoot("");
}

TEST(SerialCommValueName, FollowsTheDriverTable) {
  const struct {
    const char* driver;
    const char* tty;
    int index;
    const char* name;
  } kCases[] = {
      {"cp210x", "ttyUSB4", 2, "\\Device\\Silabser2"},
      {"cdc_acm", "ttyACM0", 12, "\\Device\\USBSER012"},
      {"serial8250", "ttyS3", 3, "\\Device\\Serial3"},
      {"serial", "ttyS0", 0, "\\Device\\Serial0"},
      {"pl2303", "ttyUSB0", 1, "\\Device\\ProlificSerial1"},
      {"", "rfcomm3", 0, "\\Device\\BtPort0"},
      {"", "ttyGS0", 0, "\\Device\\ttyGS0"},
      {"amba-pl011", "ttyAMA0", 0, "\\Device\\amba-pl011_ttyAMA0"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(SerialCommValueName(c.driver, c.tty, c.index), c.name) << c.driver << c.tty;
  }
}

// The machine's own tree, read only: whatever it lists must look itself up again.
TEST(PortEnumerationOnThisMachine, EveryListedPortFindsItsOwnDeviceName) {
  SetSerialCommSysfsRoot("");
  std::vector<std::string> names;
  std::vector<std::string> devices;
  ListCommPorts(names, &devices);
  if (names.empty()) GTEST_SKIP() << "no serial ports in this machine's sysfs";
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i].rfind("/dev/", 0), 0u) << names[i];
    std::string expected = devices[i].substr(std::string("\\Device\\").size());
    for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(GetDeviceName(names[i]), expected) << names[i];
  }
}

}  // namespace
}  // namespace kestrova
