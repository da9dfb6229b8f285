// luhn_sse2.cpp -- the Luhn sum sixteen characters at a time
#include "cards/luhn.h"

#include "base/byte_masks.h"

#if TESSERA_HAVE_SSE2

#include <algorithm>
#include <cstring>

namespace tessera::simd {
namespace {

// Bytes [0, n) of p, n <= 16, in the low lanes and zeros above, reading no
// byte outside them: two overlapping loads whose shared bytes agree.
inline __m128i LoadUpTo16(const unsigned char* p, std::size_t n) {
  uint64_t low = 0, high = 0;
  if (n > 8) {
    std::memcpy(&low, p, 8);
    std::memcpy(&high, p + n - 8, 8);
    high >>= 8 * (16 - n);
  } else if (n == 8) {
    std::memcpy(&low, p, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, p + n - 4, 4);
    low = head | static_cast<uint64_t>(tail) << (8 * (n - 4));
  } else if (n > 0) {
    low = p[0] | static_cast<uint64_t>(p[n / 2]) << (8 * (n / 2)) | static_cast<uint64_t>(p[n - 1]) << (8 * (n - 1));
  }
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

using sse2::DigitValues;
using sse2::FirstLanes;
using sse2::ParityLanes;

// kLuhnShares computed per lane: the digit value, and on the lanes of
// `doubled` twice that less 9 when it exceeds 9. Non-digits give 0.
inline __m128i Shares(__m128i bytes, __m128i doubled) {
  const __m128i value = DigitValues(bytes);
  const __m128i nine_over = _mm_and_si128(_mm_cmpgt_epi8(value, _mm_set1_epi8(4)), _mm_set1_epi8(9));
  return _mm_add_epi8(value, _mm_and_si128(_mm_sub_epi8(value, nine_over), doubled));
}

inline uint64_t Total(__m128i sums) {
  alignas(16) uint64_t halves[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(halves), sums);
  return halves[0] + halves[1];
}

// Chunks start at even offsets, so one lane mask serves the whole text: a
// character is doubled when its offset has the parity of the length.
// Loaded from a table: building the mask from n costs more than the sum of a card number.
inline __m128i DoubledLanes(std::size_t n) { return ParityLanes(n % 2); }

inline int16_t SumOfOneVector(__m128i bytes, std::size_t n) {
  return Wrap16(Total(_mm_sad_epu8(Shares(bytes, DoubledLanes(n)), _mm_setzero_si128())));
}

// The shares of a text of at most 16 bytes; the bytes past it are the
// caller's padding and, whatever they hold, are masked out.
inline __m128i PaddedShares(PaddedText text) {
  const __m128i bytes = _mm_and_si128(sse2::Load(text.data()), FirstLanes(text.size()));
  return Shares(bytes, DoubledLanes(text.size()));
}

inline int16_t PaddedSum(PaddedText text) {
  return Wrap16(Total(_mm_sad_epu8(PaddedShares(text), _mm_setzero_si128())));
}

}  // namespace

int16_t LuhnSumSse2(const unsigned char* p, std::size_t n) {
  // Card numbers: one vector, no loop.
  if (n <= 16) return SumOfOneVector(LoadUpTo16(p, n), n);
  const __m128i doubled = DoubledLanes(n);
  const __m128i zero = _mm_setzero_si128();
  __m128i sums = zero;
  std::size_t i = 0;
  while (n - i >= 16) {
    // A byte lane holds at most 28 shares of 9 before it would overflow.
    const std::size_t end = i + std::min<std::size_t>((n - i) / 16, 28) * 16;
    __m128i lanes = zero;
    for (; i < end; i += 16) {
      lanes = _mm_add_epi8(lanes, Shares(sse2::Load(p + i), doubled));
    }
    sums = _mm_add_epi64(sums, _mm_sad_epu8(lanes, zero));
  }
  if (i < n) sums = _mm_add_epi64(sums, _mm_sad_epu8(Shares(LoadUpTo16(p + i, n - i), doubled), zero));
  return Wrap16(Total(sums));
}

int16_t LuhnSumSse2Padded(PaddedText text) { return PaddedSum(text); }

// Two numbers at a time share the horizontal sums: psadbw leaves each
// number's sum in two halves, and one unpack lines up the halves of both.
void LuhnChecksSse2Padded(const PaddedText* texts, std::size_t n, bool* passes) {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const PaddedText a = texts[i], b = texts[i + 1];
    if (a.size() > 16 || b.size() > 16) [[unlikely]] {
      passes[i] = CheckNumber(a);
      passes[i + 1] = CheckNumber(b);
      continue;
    }
    const __m128i sum_a = _mm_sad_epu8(PaddedShares(a), zero);
    const __m128i sum_b = _mm_sad_epu8(PaddedShares(b), zero);
    const __m128i sums = _mm_add_epi64(_mm_unpacklo_epi64(sum_a, sum_b), _mm_unpackhi_epi64(sum_a, sum_b));
    // Each sum is at most 16 * 9: both fit one 32-bit word.
    const __m128i lined_up = _mm_shuffle_epi32(sums, _MM_SHUFFLE(3, 1, 2, 0));
    const auto both = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packs_epi32(lined_up, lined_up)));
    passes[i] = (both & 0xffff) % 10 == 0;
    passes[i + 1] = (both >> 16) % 10 == 0;
  }
  if (i < n) {
    const PaddedText last = texts[i];
    passes[i] = (last.size() <= 16 ? PaddedSum(last) : LuhnSum(last)) % 10 == 0;
  }
}

}  // namespace tessera::simd

#endif
