// Local wall-clock time for line headers and log stamps, read through a replaceable clock so
// tests can set the date and the time of day.
#pragma once

#include <functional>
#include <string>

namespace kestrova {

struct LocalDateTime {
  int year;
  int month;  // 1..12
  int day;    // 1..31
  int hour;
  int minute;
  int second;
  int millisecond;
};

using LocalClock = std::function<LocalDateTime()>;

// The system's current local time.
LocalDateTime SystemLocalTime();

// "yyyy-mm-dd"
std::string DateText(const LocalDateTime& time);
// "yyyy-mm-dd hh:mm:ss.zzz"
void AppendStampText(std::string& out, const LocalDateTime& time);
// "h:mm:ss.zzz", the hour without a leading zero: the time in line headers.
void AppendTimeOfDayText(std::string& out, const LocalDateTime& time);

}  // namespace kestrova
