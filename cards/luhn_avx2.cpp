// luhn_avx2.cpp -- the Luhn sum of long texts, sixty-four characters at a time
#include "cards/luhn.h"

#include "base/byte_masks.h"

#if TESSERA_HAVE_AVX2

#include <algorithm>

namespace tessera::simd {
namespace {

// Digits become 0x76-0x7f, everything else 0x80 or more, which vpshufb
// turns into 0; the share tables are indexed by the low nibble of that.
TESSERA_AVX2 inline __m256i TableIndex(__m256i bytes) {
  return _mm256_adds_epu8(_mm256_sub_epi8(bytes, _mm256_set1_epi8('0')), _mm256_set1_epi8(0x76));
}

// The digits' rows of kLuhnShares at lanes 6 + 1 ... 15, twice over.
TESSERA_AVX2 inline __m256i ShareTable(const std::array<uint8_t, 256>& shares) {
  alignas(32) unsigned char lanes[32] = {};
  for (int digit = 0; digit < 10; ++digit) lanes[6 + digit] = lanes[22 + digit] = shares[static_cast<std::size_t>('0' + digit)];
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
}

TESSERA_AVX2 inline __m256i TwoVectors(const void* low, const void* high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(static_cast<const __m128i*>(low))),
                                 _mm_loadu_si128(static_cast<const __m128i*>(high)), 1);
}

// The shares of two numbers of at most 16 bytes, one per half; the bytes
// past each are the caller's padding and are masked out. A character is
// doubled when its offset has the parity of the length.
TESSERA_AVX2 inline __m256i PairShares(PaddedText a, PaddedText b, __m256i plain, __m256i twice) {
  const __m256i keep = TwoVectors(kFirstLanes + 16 - a.size(), kFirstLanes + 16 - b.size());
  const __m256i doubled = TwoVectors(kParityLanes[a.size() % 2], kParityLanes[b.size() % 2]);
  const __m256i bytes = _mm256_and_si256(TwoVectors(a.data(), b.data()), keep);
  const __m256i index = TableIndex(bytes);
  return _mm256_blendv_epi8(_mm256_shuffle_epi8(plain, index), _mm256_shuffle_epi8(twice, index), doubled);
}

}  // namespace

// A byte's share is looked up (vpshufb) in two tables, the plain and the
// doubled one, into two accumulators; the doubled lanes are the same in
// every chunk, so they are chosen once per block, not per byte.
TESSERA_AVX2 int16_t LuhnSumAvx2(const unsigned char* p, std::size_t n) {
  const __m256i plain = ShareTable(kLuhnShares.plain);
  const __m256i twice = ShareTable(kLuhnShares.doubled);
  const __m256i doubled = TwoVectors(kParityLanes[n % 2], kParityLanes[n % 2]);
  const __m256i zero = _mm256_setzero_si256();
  __m256i sums = zero;
  std::size_t i = 0;
  while (n - i >= 64) {
    // A byte lane holds 28 shares of 9 before it overflows: 14 rounds of two.
    const std::size_t end = i + std::min<std::size_t>((n - i) / 64, 14) * 64;
    __m256i as_plain = zero, as_doubled = zero, more_plain = zero, more_doubled = zero;
    for (; i < end; i += 64) {
      const __m256i first = TableIndex(avx2::Load(p + i)), second = TableIndex(avx2::Load(p + i + 32));
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

// Four numbers at a time, two per register: their sums are lined up in
// one register and tested for a multiple of ten together.
TESSERA_AVX2 void LuhnChecksAvx2Padded(const PaddedText* texts, std::size_t n, bool* passes) {
  const __m256i plain = ShareTable(kLuhnShares.plain);
  const __m256i twice = ShareTable(kLuhnShares.doubled);
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const PaddedText* t = texts + i;
    if (std::max({t[0].size(), t[1].size(), t[2].size(), t[3].size()}) > 16) [[unlikely]] {
      LuhnChecksSse2Padded(t, 4, passes + i);
      continue;
    }
    const __m256i first = _mm256_sad_epu8(PairShares(t[0], t[2], plain, twice), zero);
    const __m256i second = _mm256_sad_epu8(PairShares(t[1], t[3], plain, twice), zero);
    // 64-bit lanes: the sums of t[0], t[1], t[2], t[3], each at most 16 * 9.
    const __m256i sums = _mm256_add_epi64(_mm256_unpacklo_epi64(first, second), _mm256_unpackhi_epi64(first, second));
    // x - 10 * (x / 10), the quotient as (x * 6554) >> 16, exact below 16,384.
    const __m256i tenths = _mm256_mulhi_epu16(sums, _mm256_set1_epi16(6554));
    const __m256i rest = _mm256_sub_epi16(sums, _mm256_mullo_epi16(tenths, _mm256_set1_epi16(10)));
    const auto bits = static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(rest, zero))));
    for (std::size_t k = 0; k < 4; ++k) passes[i + k] = (bits >> k) & 1;
  }
  _mm256_zeroupper();
  LuhnChecksSse2Padded(texts + i, n - i, passes + i);
}

}  // namespace tessera::simd

#endif
