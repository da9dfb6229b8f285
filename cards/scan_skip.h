// scan_skip.h -- the scanner's skipper: from bit masks of byte classes to the next chain worth reading
//
// Included by scan.cpp for the portable build and by scan_avx2.cpp, which
// compiles the same loop for processors that count bits in one instruction.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "cards/luhn.h"
#include "cards/scan.h"
#include "base/simd.h"

#if TESSERA_HAVE_SSE2
#include <emmintrin.h>
#endif

namespace tessera::scan_skip {

constexpr uint64_t Below(std::size_t bit) { return bit >= 64 ? ~uint64_t{0} : (uint64_t{1} << bit) - 1; }

constexpr bool IsSeparator(unsigned char c) { return c == ' ' || c == '-'; }

// The bytes the current rule's other separators begin with: "+" and "%20";
// its no-break spaces are made of bytes from 0x80.
constexpr bool IsWide(unsigned char c) { return c == '+' || c == '%'; }
constexpr bool IsHigh(unsigned char c) { return c >= 0x80; }

// Under the current rule a separator byte counts as part of a chain when it
// has a digit on both sides, or, for a byte from 0x80, within three bytes
// on both sides (U+202F is three bytes). The reader tells them apart.
inline bool WideJoinAt(const unsigned char* p, std::size_t at, std::size_t end) {
  const std::size_t reach = IsHigh(p[at]) ? 3 : IsSeparator(p[at]) || IsWide(p[at]) ? 1 : 0;
  bool before = false, after = false;
  for (std::size_t k = 1; k <= reach; ++k) {
    before = before || (at >= k && IsDigit(static_cast<char>(p[at - k])));
    after = after || at + k >= end || IsDigit(static_cast<char>(p[at + k]));
  }
  return before && after;
}

// Whether a byte may be the last before the hex digits of an escape (a hex
// digit, or the end of \u, \x, % or &#): then the run after it is not
// judged by its first digits here.
inline constexpr std::array<bool, 256> kMayEndEscape = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[static_cast<std::size_t>(c)] = IsDigit(static_cast<char>(c)) || (c >= 'a' && c <= 'f') ||
                                         (c >= 'A' && c <= 'F') || c == 'u' || c == 'x' || c == 'X' || c == '%' ||
                                         c == '#';
  return table;
}();

constexpr bool MayEndEscape(unsigned char c) { return kMayEndEscape[c]; }

// Without a popcnt instruction in the baseline the compiler would call a
// library routine; this is a handful of instructions.
struct PortableBits {
  static constexpr uint64_t Count(uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return (x * 0x0101010101010101u) >> 56;
  }
};

#if TESSERA_HAVE_SSE2
// The Luhn check of n (13 to 19) ASCII digits at p, followed by readable
// bytes to p + 32: two vectors, no loop and no call.
inline bool DigitsPassLuhnPadded(const unsigned char* p, std::size_t n) {
  alignas(16) static constexpr uint8_t kLanes[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                                     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
  const __m128i count = _mm_set1_epi8(static_cast<char>(n)), parity = _mm_set1_epi8(static_cast<char>(n & 1));
  const __m128i one = _mm_set1_epi8(1), four = _mm_set1_epi8(4), nine = _mm_set1_epi8(9), zero = _mm_setzero_si128();
  __m128i sum = zero;
  for (int half = 0; half < 2; ++half) {
    const __m128i lanes = _mm_load_si128(reinterpret_cast<const __m128i*>(kLanes + 16 * half));
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * half));
    const __m128i d = _mm_and_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')), _mm_cmplt_epi8(lanes, count));
    // Counted from the right, the second-to-last digit and every second one
    // before it are doubled: those whose lane has the parity of n.
    const __m128i doubled = _mm_cmpeq_epi8(_mm_and_si128(lanes, one), parity);
    const __m128i twice = _mm_sub_epi8(_mm_add_epi8(d, d), _mm_and_si128(_mm_cmpgt_epi8(d, four), nine));
    const __m128i share = _mm_or_si128(_mm_and_si128(doubled, twice), _mm_andnot_si128(doubled, d));
    sum = _mm_add_epi64(sum, _mm_sad_epu8(share, zero));
  }
  // Each half of the sums is at most 16 shares of 9: 32 bits take it.
  const int total = _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
  return total % 10 == 0;
}
#endif

// Under the current rule, whether a lone group of `digits` digits at
// `start` certainly holds no finding: no escape can take its first digits,
// so the group is the whole run, and its digits do not pass the brand table
// and the checksum. Most lone groups in logs are ids that fail here, without
// a trip through the reader; one that passes is noted as the number it is.
inline bool NoFindingIn(detail::ScanSkipper& s, const unsigned char* p, std::size_t start, std::size_t digits,
                        bool padded) {
  if (s.possible == nullptr || start == 0 || MayEndEscape(p[start - 1])) return false;
  if (digits > kLongestLuhnRun) return true;
  if (!(*s.possible)[digits - kShortestCard][static_cast<std::size_t>((p[start] - '0') * 10 + (p[start + 1] - '0'))])
    return true;
  // The checksum first: it turns away nine in ten, the brand fewer.
  const Text run(reinterpret_cast<const char*>(p + start), digits);
#if TESSERA_HAVE_SSE2
  if (!(padded ? DigitsPassLuhnPadded(p + start, digits) : CheckNumber(run))) return true;
#else
  if (!CheckNumber(run)) return true;
#endif
  const Brand brand = BrandOf(run, BrandTable::Current);
  if (brand == Brand::None) return true;
  s.lone_start = start;
  s.lone_digits = digits;
  s.lone_brand = brand;
  return false;
}

// Whether the chain that fills a chunk goes on at `at`, the next chunk's
// first byte; past the block's end it may.
inline bool WideContinues(const unsigned char* p, std::size_t at, std::size_t end) {
  return at >= end || IsDigit(static_cast<char>(p[at])) || WideJoinAt(p, at, end);
}

// Returns where the first chain that may hold a finding begins: at least
// kShortestCard digits, and not a lone group longer than any run. Or the
// chain that reaches the end of the block and may go on in the next; `end`
// when there is neither. Bit i of a mask stands for byte base + i; the
// masks of the chunk before carry runs over the chunk boundary. The byte
// before `at` is never a digit: `at` is the start of a block with no chain
// open, or the first byte after a chain.
template <class Bits, bool kWide>
inline std::size_t Skip(detail::ScanSkipper& s, const unsigned char* p, std::size_t at, std::size_t end, bool padded) {
  static_assert(kShortestCard == 13, "the run test below ands together 13 consecutive bits");
  s.lone_digits = 0;
  uint64_t last_digits = 0, last_joined = 0, last_chain = 0, last_run2 = 0, last_run4 = 0, last_run8 = 0;
  std::size_t last_start = end;
  uint64_t lines = s.lines, line_start = s.line_start;
  auto count_lines = [&](uint64_t newlines, std::size_t base) {
    lines += Bits::Count(newlines);
    if (newlines != 0) line_start = s.base + base + 64 - static_cast<std::size_t>(std::countl_zero(newlines));
  };
  for (std::size_t chunk = at / 64;; ++chunk) {
    if (chunk - s.segment_first >= s.segment_count) s.ClassifySegment(p, chunk, end, padded);
    const ByteClasses& classes = s.classes[chunk - s.segment_first];
    const std::size_t base = chunk * 64;
    uint64_t valid = Below(end - base);
    if (at > base) valid &= ~Below(at - base);
    const uint64_t digits = classes.digits & valid;
    const uint64_t newlines = classes.newlines & valid;
    // What follows the block is unknown: taken as a digit, so that a
    // separator at its end keeps the chain open.
    auto digit_at = [&](std::size_t x) -> uint64_t { return x < end ? IsDigit(static_cast<char>(p[x])) : 1; };
    const uint64_t next_digit = digit_at(base + 64);
    const uint64_t ahead = digits | ~Below(end - base);
    uint64_t joined;
    if constexpr (kWide) {
      const uint64_t separators = classes.separators & valid;
      joined = separators & ((digits << 1) | (last_digits >> 63)) & ((ahead >> 1) | (next_digit << 63));
      // Text without bytes from 0x80 needs no wider look.
      if (classes.high != 0) [[unlikely]] {
        const uint64_t high = classes.high & valid;
        const uint64_t next = next_digit | digit_at(base + 65) << 1 | digit_at(base + 66) << 2;
        const uint64_t before = (digits << 1 | last_digits >> 63) | (digits << 2 | last_digits >> 62) |
                                (digits << 3 | last_digits >> 61);
        const uint64_t after = (ahead >> 1 | next << 63) | (ahead >> 2 | next << 62) | (ahead >> 3 | next << 61);
        joined |= high & before & after;
      }
    } else {
      const uint64_t separators = classes.separators & valid;
      joined = separators & ((digits << 1) | (last_digits >> 63)) & ((ahead >> 1) | (next_digit << 63));
    }
    const uint64_t chain = digits | joined;
    const uint64_t chain_before = (chain << 1) | (last_chain >> 63);
    const uint64_t starts = chain & ~chain_before;
    // Bit i of runK: bytes i-K+1 to i all belong to a chain.
    const uint64_t run2 = chain & chain_before;
    const uint64_t run4 = run2 & ((run2 << 2) | (last_run2 >> 62));
    const uint64_t run8 = run4 & ((run4 << 4) | (last_run4 >> 60));
    uint64_t run13 = run8 & ((run8 << 5) | (last_run8 >> 59));
    while (run13 != 0) {
      const auto i = static_cast<std::size_t>(std::countr_zero(run13));
      const uint64_t own_starts = starts & Below(i + 1);
      const std::size_t start = own_starts != 0 ? base + 63 - static_cast<std::size_t>(std::countl_zero(own_starts)) : last_start;
      // The chain ends at `stop`, or goes on into the next chunk, where it
      // is looked at again.
      const uint64_t beyond = ~chain & ~Below(i);
      std::size_t stop = base + 64;
      if (beyond != 0) {
        stop = base + static_cast<std::size_t>(std::countr_zero(beyond));
      } else if (kWide ? WideContinues(p, base + 64, end)
                       : next_digit != 0 || ((digits >> 63) != 0 && IsSeparator(p[base + 64]) &&
                                             (base + 65 >= end || IsDigit(static_cast<char>(p[base + 65]))))) {
        break;
      }
      // A chain within this chunk and the one before is judged here by its
      // digits; a longer one, or one that may go on, goes to the reader.
      if (stop < end && start + 64 >= base) {
        const uint64_t here = Below(stop - base) & ~Below(start > base ? start - base : 0);
        const uint64_t before = start < base ? ~Below(start + 64 - base) : 0;
        const uint64_t chain_digits = Bits::Count(digits & here) + Bits::Count(last_digits & before);
        const bool single_group = ((joined & here) | (last_joined & before)) == 0;
        if (chain_digits < kShortestCard || (single_group && chain_digits > s.longest) ||
            (kWide && single_group && NoFindingIn(s, p, start, chain_digits, padded))) {
          run13 &= ~Below(stop - base);
          continue;
        }
      }
      count_lines(newlines & Below(i), base);
      s.lines = lines;
      s.line_start = line_start;
      return start;
    }
    count_lines(newlines, base);
    if (starts != 0) last_start = base + 63 - static_cast<std::size_t>(std::countl_zero(starts));
    if (base + 64 >= end) {
      s.lines = lines;
      s.line_start = line_start;
      return (chain >> (end - 1 - base)) & 1 ? last_start : end;
    }
    last_digits = digits;
    last_joined = joined;
    last_chain = chain;
    last_run2 = run2;
    last_run4 = run4;
    last_run8 = run8;
  }
}

}  // namespace tessera::scan_skip
