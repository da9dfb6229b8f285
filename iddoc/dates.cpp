// dates.cpp -- expiry and age of a GPA number
#include "iddoc/dates.h"

#include "iddoc/gpa.h"

namespace tessera {

bool CheckGPANoExpired(Text text, Date today) {
  if (!CheckGPANo(text)) return false;
  const Text expiry = Substring(text, 21, 6);
  // Two-digit years below 80 are in the 2000s, the others in the 1900s.
  const auto yy = static_cast<int16_t>(FieldValue(Prefix(expiry, 2)));
  const auto year = static_cast<int16_t>(yy < 80 ? yy + 2000 : yy + 1900);
  // The year's digits followed by the month and day characters as printed:
  // a character that is not a digit ends the number there, which leaves it
  // shorter than today's and so earlier.
  int32_t printed = year;
  for (char c : Suffix(expiry, 4)) {
    if (!IsDigit(c)) break;
    printed = printed * 10 + DigitValue(c);
  }
  return printed >= TodayNumber(today);
}

// Only years are compared, so a holder born in the current two-digit year
// is 100, not 0: 0 is never an age.
int32_t CheckGPANoAge(Text text, Date today) {
  if (!CheckGPANo(text)) return 0;
  const auto birth = static_cast<int16_t>(FieldValue(Substring(text, 13, 2)));
  const auto current = static_cast<int16_t>(TodayTwoDigitYear(today));
  auto age = static_cast<int16_t>(current - birth);
  if (age <= 0) age = static_cast<int16_t>(current + 100 - birth);
  return age;
}

}  // namespace tessera
