// gpa.h -- the 29-character GPA number and its four 7-3-1 check digits
#pragma once

#include <cstddef>

#include "frame/field.h"

namespace tessera {

// Yes when the last character is the 7-3-1 check digit of those before it.
// Non-digits count 0, as weighted characters and as the check digit.
bool CheckDigit731(Text text);

// Document block 1-10, any character at 11, "-" at 12, birth date 13-19,
// "-" at 20, expiry date 21-27, "-" at 28, overall check digit at 29.
bool CheckGPANo(Text text);

// The same answer by cutting and summing the fields one by one: the
// reference the vector code is tested against.
bool PlainCheckGPANo(Text text);

inline constexpr std::size_t kGpaLength = 29;

}  // namespace tessera
