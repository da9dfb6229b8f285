// gpa_sse2.cpp -- the four GPA check digits from two vector loads
//
// The 29 characters are read as two overlapping 16-byte views, positions
// 1-16 and 14-29, the second owning only 17-29. Every weight and lane mask
// below is generated from the layout in gpa.h.
#include "iddoc/gpa.h"

#include "base/byte_masks.h"

#if TESSERA_HAVE_SSE2

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessera::simd {
namespace {

using Lanes = std::array<uint8_t, 16>;

constexpr std::size_t kViewStart[2] = {0, 13};
constexpr std::size_t kFrontOwnsUpTo = 16;  // positions; the back view owns the rest

// A weight of 0, 1, 3 or 7 as the lanes where each of its bits is set, so
// that value * weight is a sum of masked value, 2 * value and 4 * value.
struct WeightBits {
  Lanes ones{}, twos{}, fours{};
};

struct ViewLanes {
  WeightBits block, overall;
  std::array<Lanes, kGpaBlocks.size()> in_block{};
};

constexpr void SetWeight(WeightBits& bits, std::size_t lane, int32_t weight) {
  bits.ones[lane] = weight & 1 ? 0xff : 0;
  bits.twos[lane] = weight & 2 ? 0xff : 0;
  bits.fours[lane] = weight & 4 ? 0xff : 0;
}

constexpr ViewLanes MakeViewLanes(std::size_t view) {
  ViewLanes lanes;
  for (std::size_t lane = 0; lane < 16; ++lane) {
    const std::size_t position = kViewStart[view] + lane + 1;
    if ((view == 0) != (position <= kFrontOwnsUpTo)) continue;
    std::size_t run = 0;  // characters of the earlier blocks in the overall run
    for (std::size_t b = 0; b < kGpaBlocks.size(); ++b) {
      const GpaBlock& block = kGpaBlocks[b];
      if (position >= block.first && position <= block.check) {
        const std::size_t k = position - block.first;
        SetWeight(lanes.overall, lane, kWeights731[(run + k) % 3]);
        if (position < block.check) {
          SetWeight(lanes.block, lane, kWeights731[k % 3]);
          lanes.in_block[b][lane] = 0xff;
        }
      }
      run += block.check - block.first + 1;
    }
  }
  return lanes;
}

constexpr ViewLanes kLanes[2] = {MakeViewLanes(0), MakeViewLanes(1)};

using sse2::DigitValues;
using sse2::Load;
inline __m128i Load(const Lanes& lanes) { return Load(lanes.data()); }

inline __m128i Products(__m128i value, const WeightBits& weight) {
  const __m128i twice = _mm_add_epi8(value, value);
  const __m128i four_times = _mm_add_epi8(twice, twice);
  return _mm_add_epi8(_mm_add_epi8(_mm_and_si128(value, Load(weight.ones)), _mm_and_si128(twice, Load(weight.twos))),
                      _mm_and_si128(four_times, Load(weight.fours)));
}

// Products are at most 63, so a lane of one view plus a lane of the other fits a byte.
inline int32_t Sum(__m128i bytes) {
  const __m128i sums = _mm_sad_epu8(bytes, _mm_setzero_si128());
  return _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
}

inline bool IsCheckDigitOf(int32_t weighted_sum, char check) { return weighted_sum % 10 == DigitValue(check); }

}  // namespace

bool CheckDigitsSse2(const char* p) {
  const __m128i front = DigitValues(Load(p + kViewStart[0])), back = DigitValues(Load(p + kViewStart[1]));
  const __m128i front_block = Products(front, kLanes[0].block), back_block = Products(back, kLanes[1].block);
  // All four digits are judged and combined with &, not &&: half the numbers
  // of a batch may fail, and a branch per digit would be mispredicted as often.
  bool ok = true;
  for (std::size_t b = 0; b < kGpaBlocks.size(); ++b) {
    const int32_t sum = Sum(_mm_add_epi8(_mm_and_si128(front_block, Load(kLanes[0].in_block[b])),
                                         _mm_and_si128(back_block, Load(kLanes[1].in_block[b]))));
    ok &= IsCheckDigitOf(sum, p[kGpaBlocks[b].check - 1]);
  }
  const int32_t overall = Sum(_mm_add_epi8(Products(front, kLanes[0].overall), Products(back, kLanes[1].overall)));
  return ok & IsCheckDigitOf(overall, p[kGpaOverallCheck - 1]);
}

}  // namespace tessera::simd

#endif
