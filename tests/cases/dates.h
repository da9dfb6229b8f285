// dates.h -- expiry and age cases at a given today, for the Linux tests
#pragma once

#include "tests/cases/gpa.h"

namespace tessera::cases {

struct CalendarDay {
  int year, month, day;
};

// A GPA number with document 123456789, its birth date at 13-18 and expiry
// date at 21-26 and correct check digits, judged on `today`.
struct DateCase {
  const char* number;
  CalendarDay today;
  bool unexpired;
  int age;
  const char* why;
};

inline constexpr DateCase kExpiryCases[] = {
    {"12345678970-7506154-2612085-6", {2026, 12, 8}, true, 51, "expires today: still valid"},
    {"12345678970-7506154-2612074-2", {2026, 12, 8}, false, 51, "expired yesterday"},
    {"12345678970-7506154-2612096-0", {2026, 12, 8}, true, 51, "expires tomorrow"},
    {"12345678970-7506154-2701013-6", {2026, 12, 31}, true, 51, "expires on New Year's Day"},
    {"12345678970-7506154-2612317-8", {2027, 1, 1}, false, 52, "expired on New Year's Eve"},
    {"12345678970-7506154-7901014-6", {2026, 12, 8}, true, 51, "year 79 is 2079"},
    {"12345678970-7506154-8001014-4", {2026, 12, 8}, false, 51, "year 80 is 1980"},
    {"12345678970-7506154-9912315-4", {1999, 12, 31}, true, 24, "year 99 is 1999"},
    {"12345678970-7506154-0001018-0", {1999, 12, 31}, true, 24, "year 00 is 2000"},
    {"12345678970-7506154-0909 00-0", {2009, 9, 1}, false, 34, "a space in the day: 200909 is before 20090901"},
    {"12345678970-7506154-09A9309-0", {2009, 1, 1}, false, 34, "a letter in the month: 2009 is before 20090101"},
    {"12345678970-7506154-0913995-2", {2009, 12, 31}, true, 34, "month and day are not calendar-checked"},
};

// Only the two-digit years count; an age of 0 becomes 100.
inline constexpr DateCase kAgeCases[] = {
    {"12345678970-7506154-7901014-6", {2004, 6, 1}, true, 29, "4 - 75 is negative: 100 added"},
    {"12345678970-0306159-7901014-8", {2004, 6, 1}, true, 1, "born last year"},
    {"12345678970-0412317-7901014-2", {2004, 1, 1}, true, 100, "born this year: 100, never 0"},
    {"12345678970-9912315-7901014-8", {2099, 12, 31}, false, 100, "born in year 99, last day of 2099"},
    {"12345678970-9801015-7901014-4", {2099, 12, 31}, false, 1, "born in 98, last day of 2099"},
    {"12345678970-9912315-7901014-8", {2100, 1, 1}, false, 1, "born in 99, first day of 2100"},
    {"12345678970-0001018-7901014-8", {2100, 1, 1}, false, 100, "born in 00, first day of 2100"},
    {"12345678970-AB01018-7901014-8", {2026, 6, 1}, true, 26, "a birth year that is not digits counts 0"},
};

}  // namespace tessera::cases
