// nul.h -- texts that hold NUL bytes, for the checks over text of known length
//
// A NUL is one more character that is no digit: it counts 0 and keeps its
// place, as a letter would. The exports, which stop at the first NUL,
// cannot be given these texts. ("\0" "4" is written apart so that it is
// not the octal escape "\04".)
#pragma once

#include <string_view>

#include "tests/cases/cards.h"

namespace tessera::cases {

using namespace std::string_view_literals;

struct NulCardCase {
  std::string_view text;
  CardBrand brand;
  bool luhn;
  const char* why;
};

inline constexpr NulCardCase kNulCardCases[] = {
    {"4111111111111111\0garbage"sv, None, true, "a NUL and 7 letters behind: 24 characters, the doubling unchanged"},
    {"4111111111111111\0"sv, None, false, "a NUL behind changes the doubled digits, as a letter does: sum 27"},
    {"\0" "4111111111111111"sv, None, true, "a NUL in front shifts nothing that counts"},
    {"4\0\0\0\0\0\0\0\0\0\0\0\0\0\0" "2"sv, Visa, true, "4, fourteen NULs and 2: a Visa length, sum 8 + 2"},
    {"4\0\0\0\0\0\0\0\0\0\0\0\0\0\0" "3"sv, Visa, false, "the same with a final 3"},
};

struct NulGpaCase {
  std::string_view text;
  bool valid;
  const char* why;
};

inline constexpr NulGpaCase kNulGpaCases[] = {
    {"1234567897\0-7506154-0909309-0"sv, true, "the worked example with a NUL at position 11, never looked at"},
    {"12345678970-7506154-0909309-0\0"sv, false, "the worked example and a NUL: 30 characters"},
};

struct NulMaskCase {
  std::string_view number, masked;
  const char* why;
};

inline constexpr NulMaskCase kNulMaskCases[] = {
    {"4111111111111111\0"sv, "411111******1111\0"sv, "a NUL behind is kept like any other character"},
    {"4111\0" "1111 1111 1111"sv, "4111\0" "11** **** 1111"sv, "a NUL between the groups stays in its place"},
};

}  // namespace tessera::cases
