// dates.h -- what the dates printed in a GPA number say about a given day
#pragma once

#include <cstdint>
#include <optional>

#include "base/field.h"
#include "base/today.h"
#include "iddoc/gpa.h"

namespace tessera {

// Only for numbers that pass CheckGPANo; `today` must be representable,
// else the answer is no and age 0.
struct GpaDates {
  // Still valid on `today`, the expiry day itself included. The export
  // that answers this is named CheckGPANoExpired, yet yes means "not expired".
  bool unexpired;
  // Whole years from the two-digit birth year alone, 1 to 100 for digit years.
  int32_t age;
};
GpaDates DatesOf(Text valid_number, Date today);

// The dates are judged only when the check digits are right; otherwise
// `unexpired` is false and `age` is 0, as the exports answer.
struct IdVerdict {
  bool check_digits;
  bool unexpired;
  int32_t age;
  constexpr bool valid() const { return check_digits && unexpired; }
};

// The verdict on the day that today() gives (a std::optional<Date>), which
// is asked only for a number whose check digits are right: reading the
// clock costs more than the check. No day judges the dates no.
template <class Today>
IdVerdict JudgeIdOn(Text number, Today&& today) {
  if (!CheckGPANo(number)) return {false, false, 0};
  const std::optional<Date> day = today();
  if (!day) return {true, false, 0};
  const GpaDates dates = DatesOf(number, *day);
  return {true, dates.unexpired, dates.age};
}

inline IdVerdict JudgeId(Text number, Date today) {
  return JudgeIdOn(number, [today] { return std::optional<Date>(today); });
}
// By the local clock.
inline IdVerdict JudgeIdToday(Text number) { return JudgeIdOn(number, LocalToday); }

// The verdict of a text too long to hold, known by its `size` and its first
// characters: `head` holds at least the first kGpaLength + 1 of them, or
// all when it is shorter.
IdVerdict JudgeIdStream(Text head, uint64_t size, Date today);

inline bool IsUnexpired(Text number, Date today) { return JudgeId(number, today).unexpired; }
inline int32_t AgeOn(Text number, Date today) { return JudgeId(number, today).age; }

}  // namespace tessera
