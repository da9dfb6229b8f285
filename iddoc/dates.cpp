// dates.cpp -- expiry and age of a GPA number
#include "iddoc/dates.h"

namespace tessera {

GpaDates DatesOf(Text valid_number, Date today) {
  if (!IsRepresentable(today)) return {false, 0};
  const Text expiry = Substring(valid_number, kGpaBlocks[2].first, 6);
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
  // Only years are compared, so a holder born in the current two-digit year
  // is 100, not 0: 0 is never an age.
  const auto birth = static_cast<int16_t>(FieldValue(Substring(valid_number, kGpaBlocks[1].first, 2)));
  const auto current = static_cast<int16_t>(TodayTwoDigitYear(today));
  auto age = static_cast<int16_t>(current - birth);
  if (age <= 0) age = static_cast<int16_t>(current + 100 - birth);
  return {printed >= TodayNumber(today), age};
}

// A text longer than a GPA number fails on its length alone, as its first
// kGpaLength + 1 characters do.
IdVerdict JudgeIdStream(Text head, uint64_t size, Date today) {
  const std::size_t known = size > kGpaLength ? kGpaLength + 1 : static_cast<std::size_t>(size);
  return JudgeId(Text(head.data(), known < head.size() ? known : head.size()), today);
}

}  // namespace tessera
