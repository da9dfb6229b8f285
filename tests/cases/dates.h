// dates.h -- expiry and age cases at a given today, for the Linux tests
#pragma once

#include "tests/cases/gpa.h"

namespace tessera::cases {

struct CalendarDay {
  int year, month, day;
};

// A GPA number with document 123456789 and these two dates, judged on `today`.
struct DateCase {
  const char* birth;   // YYMMDD
  const char* expiry;  // YYMMDD, as printed
  CalendarDay today;
  bool unexpired;
  int age;
  const char* why;
};

inline constexpr DateCase kExpiryCases[] = {
    {"750615", "261208", {2026, 12, 8}, true, 51, "expires today: still valid"},
    {"750615", "261207", {2026, 12, 8}, false, 51, "expired yesterday"},
    {"750615", "261209", {2026, 12, 8}, true, 51, "expires tomorrow"},
    {"750615", "270101", {2026, 12, 31}, true, 51, "expires on New Year's Day"},
    {"750615", "261231", {2027, 1, 1}, false, 52, "expired on New Year's Eve"},
    {"750615", "790101", {2026, 12, 8}, true, 51, "year 79 is 2079"},
    {"750615", "800101", {2026, 12, 8}, false, 51, "year 80 is 1980"},
    {"750615", "991231", {1999, 12, 31}, true, 24, "year 99 is 1999"},
    {"750615", "000101", {1999, 12, 31}, true, 24, "year 00 is 2000"},
    {"750615", "0909 0", {2009, 9, 1}, false, 34, "a space in the day: 200909 is before 20090901"},
    {"750615", "09A930", {2009, 1, 1}, false, 34, "a letter in the month: 2009 is before 20090101"},
    {"750615", "091399", {2009, 12, 31}, true, 34, "month and day are not calendar-checked"},
};

// Only the two-digit years count; an age of 0 becomes 100.
inline constexpr DateCase kAgeCases[] = {
    {"750615", "790101", {2004, 6, 1}, true, 29, "4 - 75 is negative: 100 added"},
    {"030615", "790101", {2004, 6, 1}, true, 1, "born last year"},
    {"041231", "790101", {2004, 1, 1}, true, 100, "born this year: 100, never 0"},
    {"991231", "790101", {2099, 12, 31}, false, 100, "born in year 99, last day of 2099"},
    {"980101", "790101", {2099, 12, 31}, false, 1, "born in 98, last day of 2099"},
    {"991231", "790101", {2100, 1, 1}, false, 1, "born in 99, first day of 2100"},
    {"000101", "790101", {2100, 1, 1}, false, 100, "born in 00, first day of 2100"},
    {"AB0101", "790101", {2026, 6, 1}, true, 26, "a birth year that is not digits counts 0"},
};

}  // namespace tessera::cases
