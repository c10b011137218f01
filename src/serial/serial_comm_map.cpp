#include "serial/serial_comm_map.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <system_error>

namespace kestrova {
namespace {

namespace fs = std::filesystem;

constexpr char kDefaultRoot[] = "/sys";

std::mutex root_mutex;
std::string& RootStorage() {
  static std::string root = kDefaultRoot;
  return root;
}

// The kinds of port the rest of the program tells apart by their device-name prefix.
struct Kind {
  const char* driver;
  const char* prefix;
  int digits;  // zero-padded to this width
};
constexpr Kind kKinds[] = {
    {"cp210x", "Silabser", 1},  {"cdc_acm", "USBSER", 3},        {"serial8250", "Serial", 1},
    {"serial", "Serial", 1},    {"8250_pnp", "Serial", 1},       {"dw-apb-uart", "Serial", 1},
    {"of_serial", "Serial", 1}, {"exar_serial", "Serial", 1},    {"rfcomm", "BtPort", 1},
    {"ftdi_sio", "VCP", 1},     {"pl2303", "ProlificSerial", 1},
};

const Kind* KindOf(const std::string& driver) {
  for (const Kind& kind : kKinds) {
    if (driver == kind.driver) return &kind;
  }
  return nullptr;
}

// ttyS2 before ttyS10: runs of digits compare as numbers.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) &&
        std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t i_end = i;
      size_t j_end = j;
      while (i_end < a.size() && std::isdigit(static_cast<unsigned char>(a[i_end]))) ++i_end;
      while (j_end < b.size() && std::isdigit(static_cast<unsigned char>(b[j_end]))) ++j_end;
      const std::string_view x = std::string_view(a).substr(i, i_end - i);
      const std::string_view y = std::string_view(b).substr(j, j_end - j);
      const auto x_trim = x.substr(std::min(x.find_first_not_of('0'), x.size()));
      const auto y_trim = y.substr(std::min(y.find_first_not_of('0'), y.size()));
      if (x_trim.size() != y_trim.size()) return x_trim.size() < y_trim.size();
      if (x_trim != y_trim) return x_trim < y_trim;
      i = i_end;
      j = j_end;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

std::string LinkName(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.filename().string();
}

// The driver of the hardware behind a tty. Newer kernels put serial-core ports on a
// "serial-base" bus with drivers "port" and "ctrl"; the UART's own driver is further up.
std::string DriverOf(const fs::path& tty_dir) {
  std::error_code error;
  fs::path device = fs::canonical(tty_dir / "device", error);
  if (error) return {};
  for (int depth = 0; depth < 4 && !device.empty(); ++depth) {
    const std::string driver = LinkName(device / "driver");
    if (LinkName(device / "subsystem") != "serial-base") return driver;
    device = device.parent_path();
  }
  return {};
}

// A serial-core port whose UART type is unknown has no hardware behind it.
bool AbsentUart(const fs::path& tty_dir) {
  std::ifstream type(tty_dir / "type");
  int value = -1;
  return type >> value && value == 0;
}

bool IsPort(const fs::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  std::error_code error;
  const bool has_device = fs::exists(entry.path() / "device", error);
  return (has_device || name.starts_with("rfcomm")) && !AbsentUart(entry.path());
}

}  // namespace

std::string SerialCommValueName(const std::string& driver, const std::string& tty, int index) {
  const Kind* kind = KindOf(tty.starts_with("rfcomm") ? "rfcomm" : driver);
  if (kind == nullptr) return "\\Device\\" + (driver.empty() ? tty : driver + "_" + tty);
  char number[16];
  std::snprintf(number, sizeof number, "%0*d", kind->digits, index);
  return std::string("\\Device\\") + kind->prefix + number;
}

ErrnoResult<std::vector<SerialCommEntry>> ReadSerialCommMap(const std::string& sysfs_root) {
  const fs::path class_dir = fs::path(sysfs_root) / "class" / "tty";
  std::error_code error;
  fs::directory_iterator it(class_dir, error);
  if (error) return {error.value(), {}};
  std::vector<std::pair<std::string, std::string>> ports;  // tty, driver
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (IsPort(*it)) {
      ports.emplace_back(it->path().filename().string(), DriverOf(it->path()));
    }
  }
  if (error) return {error.value() != 0 ? error.value() : EIO, {}};
  std::sort(ports.begin(), ports.end(),
            [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
  std::map<std::string, int> counts;  // per kind prefix
  std::vector<SerialCommEntry> map;
  map.reserve(ports.size());
  for (const auto& [tty, driver] : ports) {
    const std::string kind_key = SerialCommValueName(driver, tty, 0);
    map.push_back({SerialCommValueName(driver, tty, counts[kind_key]++), "/dev/" + tty});
  }
  return {0, std::move(map)};
}

void SetSerialCommSysfsRoot(const std::string& root) {
  std::lock_guard lock(root_mutex);
  RootStorage() = root.empty() ? kDefaultRoot : root;
}

std::string SerialCommSysfsRoot() {
  std::lock_guard lock(root_mutex);
  return RootStorage();
}

}  // namespace kestrova
