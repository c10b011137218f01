#include "terminal/local_clock.h"

#include <time.h>

#include <cstdio>

namespace kestrova {

LocalDateTime SystemLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return {local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000)};
}

std::string DateText(const LocalDateTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", time.year, time.month, time.day);
  return text;
}

std::string StampText(const LocalDateTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.millisecond);
  return text;
}

double DayFraction(const LocalDateTime& time) {
  const long long milliseconds =
      ((time.hour * 60LL + time.minute) * 60 + time.second) * 1000 + time.millisecond;
  return static_cast<double>(milliseconds) / 86400000.0;
}

}  // namespace kestrova
