#include "appinfo/form_placement_rules.h"

#include <algorithm>

#include "util/ascii.h"

namespace kestrova {

std::string JoinZOrder(const std::vector<std::string>& names_top_first) {
  std::string text;
  for (const std::string& name : names_top_first) {
    if (!text.empty()) text += '|';
    text += name;
  }
  return text;
}

std::vector<std::string> SplitZOrder(std::string_view text) {
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('|', pos);
    if (end == std::string_view::npos) end = text.size();
    if (end > pos) names.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return names;
}

std::vector<std::string> ZOrderForRestore(const std::vector<std::string>& stored,
                                          const std::vector<std::string>& windowed_top_first,
                                          const std::vector<std::string>& without_window) {
  std::vector<std::string> present = windowed_top_first;
  present.insert(present.end(), without_window.begin(), without_window.end());
  std::vector<std::string> order;
  auto listed = [&](std::string_view name) {
    return std::any_of(order.begin(), order.end(),
                       [&](const std::string& n) { return EqualsIgnoringAsciiCase(n, name); });
  };
  for (const std::string& name : stored) {
    auto it = std::find_if(present.begin(), present.end(),
                           [&](const std::string& n) { return EqualsIgnoringAsciiCase(n, name); });
    if (it != present.end() && !listed(*it)) order.push_back(*it);
  }
  for (const std::string& name : present) {
    if (!listed(name)) order.push_back(name);
  }
  return order;
}

bool NameExcepted(std::string_view except_names, std::string_view name) {
  if (except_names.empty() || name.empty()) return false;
  std::string list(except_names);
  if (list.front() != '|') list.insert(list.begin(), '|');
  if (list.back() != '|') list += '|';
  std::string needle = "|" + std::string(name) + "|";
  for (size_t i = 0; i + needle.size() <= list.size(); ++i) {
    if (EqualsIgnoringAsciiCase(std::string_view(list).substr(i, needle.size()), needle)) {
      return true;
    }
  }
  return false;
}

PlacementState StateOfShowCommand(int show_command) {
  switch (show_command) {
    case kShowMinimized:
    case kShowMinimize:
      return PlacementState::kMinimized;
    case kShowMaximized:
      return PlacementState::kMaximized;
    default:
      return PlacementState::kNormal;
  }
}

int ShowCommandOf(PlacementState state) {
  switch (state) {
    case PlacementState::kMinimized:
      return kShowMinimized;
    case PlacementState::kMaximized:
      return kShowMaximized;
    case PlacementState::kNormal:
      break;
  }
  return kShowNormal;
}

}  // namespace kestrova
