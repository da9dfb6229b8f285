// today.h -- the local calendar date, the one input besides the argument text
#pragma once

#include <cstdint>

namespace tessera {

struct Date {
  int32_t year;
  int32_t month;
  int32_t day;
};

// YYYYMMDD, so that dates compare as plain integers.
constexpr int32_t TodayNumber(Date today) { return today.year * 10000 + today.month * 100 + today.day; }

// The last two digits of the year, 0 to 99.
constexpr int32_t TodayTwoDigitYear(Date today) { return (today.year % 100 + 100) % 100; }

// Read from the local clock at each call: the local time zone, not UTC.
Date LocalToday();

}  // namespace tessera
