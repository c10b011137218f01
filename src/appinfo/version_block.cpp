#include "appinfo/version_block.h"

namespace kestrova {

bool ParseVersionBlock(std::string_view block, VersionValues& values) {
  values.clear();
  if (block.substr(0, kVersionBlockMagic.size()) != kVersionBlockMagic) return false;
  block.remove_prefix(kVersionBlockMagic.size());
  while (!block.empty()) {
    const size_t path_end = block.find('\0');
    if (path_end == std::string_view::npos) return false;
    if (path_end == 0) return true;  // an empty path ends the entries
    const std::string_view path = block.substr(0, path_end);
    const size_t value_end = block.find('\0', path_end + 1);
    if (value_end == std::string_view::npos) return false;
    values.emplace(path, block.substr(path_end + 1, value_end - path_end - 1));
    block.remove_prefix(value_end + 1);
  }
  return true;
}

}  // namespace kestrova
