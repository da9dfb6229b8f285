// luhn_avx2.cpp -- the Luhn sum of long texts, sixty-four characters at a time
#include "cards/luhn.h"

#if TESSERA_HAVE_AVX2

#include <immintrin.h>

#include <algorithm>

namespace tessera::simd {
namespace {

// Digits become 0x76-0x7f, everything else 0x80 or more, which vpshufb
// turns into 0; the share tables are indexed by the low nibble of that.
__attribute__((target("avx2"))) inline __m256i TableIndex(const unsigned char* p) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_adds_epu8(_mm256_sub_epi8(bytes, _mm256_set1_epi8('0')), _mm256_set1_epi8(0x76));
}

// The digits' rows of kLuhnShares at lanes 6 + 1 ... 15, twice over.
__attribute__((target("avx2"))) inline __m256i ShareTable(const std::array<uint8_t, 256>& shares) {
  alignas(32) unsigned char lanes[32] = {};
  for (int digit = 0; digit < 10; ++digit) lanes[6 + digit] = lanes[22 + digit] = shares[static_cast<std::size_t>('0' + digit)];
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
}

}  // namespace

bool HaveAvx2() { return __builtin_cpu_supports("avx2"); }

// A byte's share is looked up (vpshufb) in two tables, the plain and the
// doubled one, into two accumulators; the doubled lanes are the same in
// every chunk, so they are chosen once per block, not per byte.
__attribute__((target("avx2"))) int16_t LuhnSumAvx2(const unsigned char* p, std::size_t n) {
  const __m256i plain = ShareTable(kLuhnShares.plain);
  const __m256i twice = ShareTable(kLuhnShares.doubled);
  const __m256i doubled = n % 2 == 0 ? _mm256_set1_epi16(0x00ff) : _mm256_set1_epi16(static_cast<short>(0xff00));
  const __m256i zero = _mm256_setzero_si256();
  __m256i sums = zero;
  std::size_t i = 0;
  while (n - i >= 64) {
    // A byte lane holds 28 shares of 9 before it overflows: 14 rounds of two.
    const std::size_t end = i + std::min<std::size_t>((n - i) / 64, 14) * 64;
    __m256i as_plain = zero, as_doubled = zero, more_plain = zero, more_doubled = zero;
    for (; i < end; i += 64) {
      const __m256i first = TableIndex(p + i), second = TableIndex(p + i + 32);
      as_plain = _mm256_add_epi8(as_plain, _mm256_shuffle_epi8(plain, first));
      as_doubled = _mm256_add_epi8(as_doubled, _mm256_shuffle_epi8(twice, first));
      more_plain = _mm256_add_epi8(more_plain, _mm256_shuffle_epi8(plain, second));
      more_doubled = _mm256_add_epi8(more_doubled, _mm256_shuffle_epi8(twice, second));
    }
    const __m256i shares = _mm256_add_epi8(_mm256_blendv_epi8(as_plain, as_doubled, doubled),
                                           _mm256_blendv_epi8(more_plain, more_doubled, doubled));
    sums = _mm256_add_epi64(sums, _mm256_sad_epu8(shares, zero));
  }
  const __m128i halves = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  const uint64_t total = static_cast<uint64_t>(_mm_cvtsi128_si64(halves)) +
                         static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves)));
  // Leave the wide registers clean before running SSE code again.
  _mm256_zeroupper();
  // The rest starts at an even offset too, so the same parity holds for it.
  return Wrap16(total + static_cast<uint16_t>(LuhnSumSse2(p + i, n - i)));
}

}  // namespace tessera::simd

#endif
