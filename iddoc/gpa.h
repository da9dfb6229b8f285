// gpa.h -- the 29-character GPA number and its four 7-3-1 check digits
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/field.h"
#include "base/simd.h"

namespace tessera {

// The layout, in 1-based positions as printed. Position 11 is never looked at.
struct GpaBlock {
  std::size_t first;  // the first character weighed
  std::size_t check;  // the block's check digit, after its last weighed character
};

inline constexpr std::size_t kGpaLength = 29;
inline constexpr std::array<std::size_t, 3> kGpaSeparators = {12, 20, 28};  // each must be "-"
inline constexpr std::array<GpaBlock, 3> kGpaBlocks = {{
    {1, 10},   // document
    {13, 19},  // birth date YYMMDD
    {21, 27},  // expiry date YYMMDD
}};
// The check digit of the three blocks run together, their own check digits included.
inline constexpr std::size_t kGpaOverallCheck = 29;

// The weights restart at 7 for every digit checked.
inline constexpr std::array<int32_t, 3> kWeights731 = {7, 3, 1};

// Yes when the last character is the 7-3-1 check digit of those before it.
// Non-digits count 0, as weighted characters and as the check digit.
bool CheckDigit731(Text text);

bool ScalarCheckGPANo(Text text);

inline bool HasGpaSeparators(Text text) {
  bool all = true;
  for (std::size_t at : kGpaSeparators) all &= text[at - 1] == '-';
  return all;
}

namespace simd {
#if TESSERA_HAVE_SSE2
// The four check digits of the kGpaLength characters at p.
bool CheckDigitsSse2(const char* p);
#endif
}  // namespace simd

inline bool CheckGPANo(Text text) {
#if TESSERA_HAVE_SSE2
  return text.size() == kGpaLength && HasGpaSeparators(text) && simd::CheckDigitsSse2(text.data());
#else
  return ScalarCheckGPANo(text);
#endif
}

}  // namespace tessera
