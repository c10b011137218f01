// A text file sent line by line, one line a second, from the main window's timer poll.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

class SendScript {
 public:
  static constexpr uint32_t kLineInterval = 1000;  // ms between lines

  // Replaces the lines; the first goes out once a line interval has passed from `now`.
  void Load(std::vector<std::string> lines, uint32_t now);
  // Load with the lines of a text file (LF or CR LF ends a line); false with the reason when
  // the file cannot be read, the script then unchanged.
  bool LoadFile(const std::string& path, uint32_t now, std::string& error);

  // The next line when more than a line interval passed since the last one; it leaves the
  // script.
  std::optional<std::string> Due(uint32_t the_time);
  bool Empty() const { return lines_.empty(); }

 private:
  std::deque<std::string> lines_;
  uint32_t last_time_ = 0;
};

}  // namespace kestrova
