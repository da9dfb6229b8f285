// luhn.cpp -- the Luhn (mod 10) checksum of card numbers
#include "cards/luhn.h"

#include <array>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <immintrin.h>
#define TESSERA_SSE2 1
#endif

namespace tessera {
namespace {

using ByteTable = std::array<uint8_t, 256>;

constexpr ByteTable MakeTable(bool doubled) {
  ByteTable table{};
  for (int byte = 0; byte < 256; ++byte) {
    int d = DigitValue(static_cast<char>(byte));
    if (doubled) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    table[static_cast<std::size_t>(byte)] = static_cast<uint8_t>(d);
  }
  return table;
}

constexpr ByteTable kUndoubled = MakeTable(false);
constexpr ByteTable kDoubled = MakeTable(true);

// The sum is a signed 16-bit quantity and wraps past 32,767 (texts of more
// than 3,640 characters reach that), and answers depend on the wrap. Since
// wrapping addition is associative, sums are taken wide and wrapped once.
constexpr int16_t Wrap16(uint64_t sum) { return static_cast<int16_t>(static_cast<uint16_t>(sum)); }

#if TESSERA_SSE2

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

// Each byte's share of the sum: its digit value, or on the lanes of
// `doubled` twice that less 9 when it exceeds 9. Non-digits give 0.
inline __m128i Shares(__m128i bytes, __m128i doubled) {
  const __m128i t = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const __m128i value = _mm_and_si128(t, _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t));
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
inline __m128i DoubledLanes(std::size_t n) {
  return _mm_set1_epi16(static_cast<short>(0x00ff << (n % 2 * 8)));
}

int16_t LuhnSumSse2(const unsigned char* p, std::size_t n) {
  const __m128i doubled = DoubledLanes(n);
  const __m128i zero = _mm_setzero_si128();
  // Card numbers: one vector, no loop.
  if (n <= 16) return Wrap16(Total(_mm_sad_epu8(Shares(LoadUpTo16(p, n), doubled), zero)));
  __m128i sums = zero;
  std::size_t i = 0;
  while (n - i >= 16) {
    // A byte lane holds at most 28 shares of 9 before it would overflow.
    const std::size_t end = i + std::min<std::size_t>((n - i) / 16, 28) * 16;
    __m128i lanes = zero;
    for (; i < end; i += 16) {
      lanes = _mm_add_epi8(lanes, Shares(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), doubled));
    }
    sums = _mm_add_epi64(sums, _mm_sad_epu8(lanes, zero));
  }
  if (i < n) sums = _mm_add_epi64(sums, _mm_sad_epu8(Shares(LoadUpTo16(p + i, n - i), doubled), zero));
  return Wrap16(Total(sums));
}

#if defined(__GNUC__) && !defined(_WIN32)
#define TESSERA_AVX2 1

// Digits become 0x76-0x7f, everything else 0x80 or more, which vpshufb
// turns into 0; the share tables are indexed by the low nibble of that.
__attribute__((target("avx2"))) inline __m256i TableIndex(const unsigned char* p) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_adds_epu8(_mm256_sub_epi8(bytes, _mm256_set1_epi8('0')), _mm256_set1_epi8(0x76));
}

// Long texts: a byte's share is looked up (vpshufb) in two tables, the
// plain and the doubled one, into two accumulators; the doubled lanes are
// the same in every chunk, so they are chosen once per block, not per byte.
__attribute__((target("avx2"))) int16_t LuhnSumAvx2(const unsigned char* p, std::size_t n) {
  const __m256i plain = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,  //
                                         0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9);
  const __m256i twice = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 2, 4, 6, 8, 1, 3, 5, 7, 9,  //
                                         0, 0, 0, 0, 0, 0, 0, 2, 4, 6, 8, 1, 3, 5, 7, 9);
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
  const uint64_t total = Total(halves);
  // Leave the wide registers clean before running SSE code again.
  _mm256_zeroupper();
  // The rest starts at an even offset too, so the same parity holds for it.
  return Wrap16(total + static_cast<uint16_t>(LuhnSumSse2(p + i, n - i)));
}

#endif
#endif

}  // namespace

int16_t LuhnSum(Text text) {
#if TESSERA_SSE2
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
#if TESSERA_AVX2
  // Long texts only: the check is not free and short numbers gain nothing.
  if (text.size() >= 256 && __builtin_cpu_supports("avx2")) return LuhnSumAvx2(bytes, text.size());
#endif
  return LuhnSumSse2(bytes, text.size());
#else
  return PlainLuhnSum(text);
#endif
}

int16_t PlainLuhnSum(Text text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = text.size();
  uint64_t sum = 0;
  for (; i >= 2; i -= 2) sum += kUndoubled[bytes[i - 1]] + kDoubled[bytes[i - 2]];
  if (i == 1) sum += kUndoubled[bytes[0]];
  return Wrap16(sum);
}

// The remainder takes the sign of the sum; only whether it is 0 matters.
bool CheckNumber(Text text) { return LuhnSum(text) % 10 == 0; }

}  // namespace tessera
