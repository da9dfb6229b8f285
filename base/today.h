// today.h -- the local calendar date, the one input besides the argument text
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace tessera {

struct Date {
  int32_t year;
  int32_t month;
  int32_t day;
};

// The latest year whose YYYYMMDD still fits a signed 32-bit number.
inline constexpr int32_t kLatestYear = (std::numeric_limits<int32_t>::max() - 1231) / 10000;

// Dates the checks can compare: a calendar day of the years 1 to kLatestYear.
constexpr bool IsRepresentable(Date date) {
  return date.year >= 1 && date.year <= kLatestYear && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
         date.day <= 31;
}

// YYYYMMDD, so that dates compare as plain integers; only for representable dates.
constexpr int32_t TodayNumber(Date today) { return today.year * 10000 + today.month * 100 + today.day; }

// The last two digits of the year, 0 to 99.
constexpr int32_t TodayTwoDigitYear(Date today) { return today.year % 100; }

// The local time zone's date, read afresh at each call; nothing when the
// clock cannot be read or shows a date the checks cannot represent. POSIX
// systems read the zone from TZ as it was at the last tzset().
std::optional<Date> LocalToday();

}  // namespace tessera
