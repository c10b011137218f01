#include "serial/port_combo_items.h"

#include <algorithm>

#include "platform/serial_port_name.h"
#include "util/ascii.h"

namespace kestrova {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsByIdName(const std::string& name) {
  return name.find("/serial/by-id/") != std::string::npos;
}

}  // namespace

bool PortNameLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t i_end = i;
      size_t j_end = j;
      while (i_end < a.size() && IsDigit(a[i_end])) ++i_end;
      while (j_end < b.size() && IsDigit(b[j_end])) ++j_end;
      // Leading zeros aside, the longer run is the larger number.
      size_t i_start = i;
      size_t j_start = j;
      while (i_start + 1 < i_end && a[i_start] == '0') ++i_start;
      while (j_start + 1 < j_end && b[j_start] == '0') ++j_start;
      const std::string_view x(a.data() + i_start, i_end - i_start);
      const std::string_view y(b.data() + j_start, j_end - j_start);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = i_end;
      j = j_end;
      continue;
    }
    const char x = AsciiUpper(a[i]);
    const char y = AsciiUpper(b[j]);
    if (x != y) return x < y;
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal but for case or leading zeros: keep a strict order
}

int FindPortItem(const std::vector<std::string>& items, const std::string& port) {
  if (port.empty()) return -1;
  const auto exact = std::find(items.begin(), items.end(), port);
  if (exact != items.end()) return static_cast<int>(exact - items.begin());
  const std::string device = PortNameToDevicePath(port);
  const auto same_device = std::find_if(items.begin(), items.end(), [&](const std::string& item) {
    return PortNameToDevicePath(item) == device;
  });
  return same_device != items.end() ? static_cast<int>(same_device - items.begin()) : -1;
}

std::vector<std::string> PortComboItems(std::vector<std::string> names,
                                        const std::string& comm_port) {
  const bool add_configured = !comm_port.empty() && FindPortItem(names, comm_port) < 0;
  // A by-id name stays right after the port listed before it, the one it points to.
  std::vector<std::vector<std::string>> groups;
  for (std::string& name : names) {
    if (IsByIdName(name) && !groups.empty() && !IsByIdName(groups.back().front())) {
      groups.back().push_back(std::move(name));
    } else {
      groups.push_back({std::move(name)});
    }
  }
  if (add_configured) groups.push_back({comm_port});
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return PortNameLess(a.front(), b.front()); });
  std::vector<std::string> items;
  for (std::vector<std::string>& group : groups) {
    for (std::string& name : group) items.push_back(std::move(name));
  }
  return items;
}

}  // namespace kestrova
