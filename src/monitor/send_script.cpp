#include "monitor/send_script.h"

#include <fstream>

#include "util/system_error.h"
#include "util/tick_math.h"

namespace kestrova {

void SendScript::Load(std::vector<std::string> lines, uint32_t now) {
  lines_.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
  last_time_ = now;
}

bool SendScript::LoadFile(const std::string& path, uint32_t now, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "Cannot read " + path + ": " + SystemErrorText(errno);
    return false;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  if (in.bad()) {
    error = "Cannot read " + path + ": " + SystemErrorText(errno);
    return false;
  }
  Load(std::move(lines), now);
  return true;
}

std::optional<std::string> SendScript::Due(uint32_t the_time) {
  if (lines_.empty() || !TimeElapsed(last_time_, kLineInterval, the_time)) return std::nullopt;
  std::string line = std::move(lines_.front());
  lines_.pop_front();
  last_time_ = the_time;
  return line;
}

}  // namespace kestrova
