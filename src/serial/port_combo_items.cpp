#include "serial/port_combo_items.h"

#include <algorithm>

#include "util/ascii.h"

namespace kestrova {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

std::vector<std::string> PortComboItems(std::vector<std::string> names,
                                        const std::string& comm_port) {
  if (!comm_port.empty() && std::find(names.begin(), names.end(), comm_port) == names.end()) {
    names.push_back(comm_port);
  }
  std::sort(names.begin(), names.end(), PortNameLess);
  return names;
}

}  // namespace kestrova
