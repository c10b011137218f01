#include "terminal/local_clock.h"

#include <time.h>

namespace kestrova {
namespace {

void AppendDigits(std::string& out, int value, int digits) {
  char text[8];
  for (int i = digits - 1; i >= 0; --i) {
    text[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(text, static_cast<size_t>(digits));
}

void AppendDateText(std::string& out, const LocalDateTime& time) {
  AppendDigits(out, time.year, 4);
  out += '-';
  AppendDigits(out, time.month, 2);
  out += '-';
  AppendDigits(out, time.day, 2);
}

void AppendMinutesAndSeconds(std::string& out, const LocalDateTime& time) {
  out += ':';
  AppendDigits(out, time.minute, 2);
  out += ':';
  AppendDigits(out, time.second, 2);
  out += '.';
  AppendDigits(out, time.millisecond, 3);
}

}  // namespace

void AppendStampText(std::string& out, const LocalDateTime& time) {
  AppendDateText(out, time);
  out += ' ';
  AppendDigits(out, time.hour, 2);
  AppendMinutesAndSeconds(out, time);
}

void AppendTimeOfDayText(std::string& out, const LocalDateTime& time) {
  AppendDigits(out, time.hour, time.hour >= 10 ? 2 : 1);
  AppendMinutesAndSeconds(out, time);
}

LocalDateTime SystemLocalTime() {
  // The logger asks for every line; the calendar conversion is redone once a second.
  thread_local time_t cached_second = -1;
  thread_local tm cached{};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec != cached_second) {
    localtime_r(&now.tv_sec, &cached);
    cached_second = now.tv_sec;
  }
  return {cached.tm_year + 1900,
          cached.tm_mon + 1,
          cached.tm_mday,
          cached.tm_hour,
          cached.tm_min,
          cached.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000)};
}

std::string DateText(const LocalDateTime& time) {
  std::string text;
  AppendDateText(text, time);
  return text;
}

}  // namespace kestrova
