#include "util/time_text.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace kestrova {

std::string TimeToText(double value, int decimals, bool whole_days, int min_hour_digits) {
  constexpr double kSecondsPerDay = 86400.0;
  constexpr double kLimit = 2e9;
  decimals = std::clamp(decimals, 0, 7);
  min_hour_digits = std::clamp(min_hour_digits, 1, 10);

  double seconds = (whole_days ? value : value - std::trunc(value)) * kSecondsPerDay;
  if (std::isnan(seconds)) seconds = 0;
  seconds = std::clamp(seconds, -kLimit, kLimit);

  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const int64_t units = std::llround(std::fabs(seconds) * static_cast<double>(scale));
  const int64_t whole = units / scale;
  const int64_t fraction = units % scale;
  const bool negative = seconds < 0 && units != 0;

  char text[48];
  int length =
      std::snprintf(text, sizeof text, "%s%0*lld:%02lld:%02lld", negative ? "-" : "",
                    min_hour_digits, static_cast<long long>(whole / 3600),
                    static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
  if (decimals > 0) {
    length += std::snprintf(text + length, sizeof text - length, ".%0*lld", decimals,
                            static_cast<long long>(fraction));
  }
  return std::string(text, length);
}

double LocalTimeOfDay() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + std::min(local.tm_sec, 59) +
                         static_cast<double>(now.tv_nsec) / 1e9;
  return seconds / 86400.0;
}

}  // namespace kestrova
