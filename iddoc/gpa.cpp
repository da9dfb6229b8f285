// gpa.cpp -- GPA number layout and its 7-3-1 check digits
#include "iddoc/gpa.h"

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TESSERA_SSE2 1
#endif

namespace tessera {
namespace {

constexpr bool HasSeparators(Text text) { return text[11] == '-' && text[19] == '-' && text[27] == '-'; }

// `phase` is how many characters of the weight cycle came before `text`,
// so that joined blocks can be summed without joining them.
constexpr int32_t WeightedSum731(Text text, std::size_t phase = 0) {
  constexpr int32_t kWeights[3] = {7, 3, 1};
  int32_t sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) sum += DigitValue(text[i]) * kWeights[(phase + i) % 3];
  return sum;
}

constexpr bool IsCheckDigitOf(int32_t weighted_sum, char check) { return weighted_sum % 10 == DigitValue(check); }

#if TESSERA_SSE2

// The number is read as two overlapping 16-byte views, bytes 0-15 and
// 13-28 (the second ignores 13-15). Per byte, its weight in its own block
// and in the overall run of 24 characters; 0 where a byte takes no part
// (position 11, the separators, the check digits within their block).
using Lanes = std::array<uint8_t, 16>;

// 1-based positions:                   1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16
constexpr Lanes kFrontBlockWeights = {7, 3, 1, 7, 3, 1, 7, 3, 1, 0, 0, 0, 7, 3, 1, 7};
constexpr Lanes kFrontOverallWeights = {7, 3, 1, 7, 3, 1, 7, 3, 1, 7, 0, 0, 3, 1, 7, 3};
// 1-based positions:                  14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29
constexpr Lanes kBackBlockWeights = {0, 0, 0, 3, 1, 0, 0, 7, 3, 1, 7, 3, 1, 0, 0, 0};
constexpr Lanes kBackOverallWeights = {0, 0, 0, 1, 7, 3, 0, 1, 7, 3, 1, 7, 3, 1, 0, 0};

// A weight of 0, 1, 3 or 7 as the lanes where each of its bits is set, so
// that value * weight is a sum of masked value, 2 * value and 4 * value.
struct WeightBits {
  Lanes ones{}, twos{}, fours{};
};

constexpr WeightBits BitsOf(const Lanes& weights) {
  WeightBits bits;
  for (std::size_t i = 0; i < 16; ++i) {
    bits.ones[i] = weights[i] & 1 ? 0xff : 0;
    bits.twos[i] = weights[i] & 2 ? 0xff : 0;
    bits.fours[i] = weights[i] & 4 ? 0xff : 0;
  }
  return bits;
}

constexpr Lanes LaneMask(std::size_t first, std::size_t last) {
  Lanes mask{};
  for (std::size_t i = first; i < last; ++i) mask[i] = 0xff;
  return mask;
}

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i Load(const Lanes& lanes) { return Load(lanes.data()); }

inline __m128i DigitValues(__m128i bytes) {
  const __m128i t = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  return _mm_and_si128(t, _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t));
}

inline __m128i Products(__m128i value, const WeightBits& weight) {
  const __m128i twice = _mm_add_epi8(value, value);
  const __m128i four_times = _mm_add_epi8(twice, twice);
  return _mm_add_epi8(_mm_add_epi8(_mm_and_si128(value, Load(weight.ones)), _mm_and_si128(twice, Load(weight.twos))),
                      _mm_and_si128(four_times, Load(weight.fours)));
}

template <std::size_t First, std::size_t Last>
inline int32_t SumLanes(__m128i products) {
  static constexpr Lanes kMask = LaneMask(First, Last);
  const __m128i sums = _mm_sad_epu8(_mm_and_si128(products, Load(kMask)), _mm_setzero_si128());
  return _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
}

bool CheckDigitsSse2(const char* p) {
  static constexpr WeightBits kFrontBlock = BitsOf(kFrontBlockWeights);
  static constexpr WeightBits kFrontOverall = BitsOf(kFrontOverallWeights);
  static constexpr WeightBits kBackBlock = BitsOf(kBackBlockWeights);
  static constexpr WeightBits kBackOverall = BitsOf(kBackOverallWeights);
  const __m128i front = DigitValues(Load(p));
  const __m128i back = DigitValues(Load(p + 13));
  const __m128i front_block = Products(front, kFrontBlock);
  const __m128i back_block = Products(back, kBackBlock);
  const int32_t document = SumLanes<0, 9>(front_block);
  const int32_t birth = SumLanes<12, 16>(front_block) + SumLanes<3, 5>(back_block);
  const int32_t expiry = SumLanes<7, 13>(back_block);
  const __m128i overall = _mm_add_epi8(Products(front, kFrontOverall), Products(back, kBackOverall));
  // All four are taken and combined with &, not &&: half the numbers of a
  // batch may fail, and a branch per digit would be mispredicted as often.
  const bool document_ok = IsCheckDigitOf(document, p[9]), birth_ok = IsCheckDigitOf(birth, p[18]);
  const bool expiry_ok = IsCheckDigitOf(expiry, p[26]), overall_ok = IsCheckDigitOf(SumLanes<0, 16>(overall), p[28]);
  return document_ok & birth_ok & expiry_ok & overall_ok;
}

#endif

}  // namespace

bool CheckDigit731(Text text) {
  if (text.empty()) return false;
  const auto before = static_cast<std::ptrdiff_t>(text.size() - 1);
  return IsCheckDigitOf(WeightedSum731(Prefix(text, before)), text.back());
}

bool CheckGPANo(Text text) {
#if TESSERA_SSE2
  return text.size() == kGpaLength && HasSeparators(text) && CheckDigitsSse2(text.data());
#else
  return PlainCheckGPANo(text);
#endif
}

bool PlainCheckGPANo(Text text) {
  if (text.size() != kGpaLength || !HasSeparators(text)) return false;
  const Text document = Substring(text, 1, 10);
  const Text birth = Substring(text, 13, 7);
  const Text expiry = Substring(text, 21, 7);
  if (!CheckDigit731(document) || !CheckDigit731(birth) || !CheckDigit731(expiry)) return false;
  // The overall digit weighs the three blocks as one run of 24 characters,
  // their own check digits included; position 11 is never looked at.
  const int32_t overall = WeightedSum731(document) + WeightedSum731(birth, document.size()) +
                          WeightedSum731(expiry, document.size() + birth.size());
  return IsCheckDigitOf(overall, text[28]);
}

}  // namespace tessera
