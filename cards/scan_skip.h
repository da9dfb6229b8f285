// scan_skip.h -- the scanner's skipper: from bit masks of byte classes to the next chain worth reading
//
// Included by scan.cpp for the portable build and by scan_avx2.cpp, which
// compiles the same loop for processors that count bits in one instruction.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "cards/scan.h"

namespace tessera::scan_skip {

constexpr uint64_t Below(std::size_t bit) { return bit >= 64 ? ~uint64_t{0} : (uint64_t{1} << bit) - 1; }

constexpr bool IsSeparator(unsigned char c) { return c == ' ' || c == '-'; }

// The bytes the other separators are made of ("+", "%20", and U+00A0 and
// U+202F in UTF-8), and more: the reader tells them apart.
constexpr bool IsWide(unsigned char c) { return c == '+' || c == '%' || c >= 0x80; }

// Under the current rule a separator is up to three bytes: a separator byte
// counts as part of a chain when digits lie within three bytes on both sides.
inline bool WideJoinAt(const unsigned char* p, std::size_t at, std::size_t end) {
  if (!IsSeparator(p[at]) && !IsWide(p[at])) return false;
  bool before = false, after = false;
  for (std::size_t k = 1; k <= 3; ++k) {
    before = before || (at >= k && IsDigit(static_cast<char>(p[at - k])));
    after = after || at + k >= end || IsDigit(static_cast<char>(p[at + k]));
  }
  return before && after;
}

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
      const uint64_t separators = (classes.separators | classes.wide) & valid;
      const uint64_t next = next_digit | digit_at(base + 65) << 1 | digit_at(base + 66) << 2;
      const uint64_t before = (digits << 1 | last_digits >> 63) | (digits << 2 | last_digits >> 62) |
                              (digits << 3 | last_digits >> 61);
      const uint64_t after = (ahead >> 1 | next << 63) | (ahead >> 2 | next << 62) | (ahead >> 3 | next << 61);
      joined = separators & before & after;
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
        if (chain_digits < kShortestCard || (single_group && chain_digits > s.longest)) {
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
