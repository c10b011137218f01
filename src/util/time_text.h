// Time-of-day and duration texts such as "9:05:03.120", as the terminal heads its lines.
#pragma once

#include <string>

namespace kestrova {

// `value` is in days (a date-time value). With `whole_days` the whole value is the duration,
// otherwise only its fraction of a day counts; the seconds are limited to +-2e9. The text is
// hours (zero-padded to `min_hour_digits`, more digits as needed), ":", two-digit minutes, ":",
// two-digit seconds and, with `decimals` (0..7) above 0, "." and that many rounded digits of
// the second; rounding carries into the seconds. A negative duration starts with "-".
std::string TimeToText(double value, int decimals, bool whole_days, int min_hour_digits);

// The current local time of day as a fraction of a day (0 <= result < 1).
double LocalTimeOfDay();

}  // namespace kestrova
