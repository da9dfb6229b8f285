// byte_masks.h -- which bytes of a vector are digits or a given byte, for each instruction set
//
// The checksum, the GPA check digits, the finder and the tool's reader all
// start by asking this of their bytes: per lane (0xff where it holds) or as
// bit masks of 64 consecutive bytes, the first byte in the lowest bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/simd.h"

#if TESSERA_HAVE_SSE2
#include <emmintrin.h>
#endif
#if TESSERA_HAVE_AVX2
#include <immintrin.h>
#endif

namespace tessera::simd {

// Lanes [0, n) set, for n <= 16: the sixteen bytes at kFirstLanes + 16 - n.
alignas(16) inline constexpr unsigned char kFirstLanes[32] = {
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

// [p]: the lanes whose offset has parity p.
alignas(16) inline constexpr uint16_t kParityLanes[2][8] = {
    {0x00ff, 0x00ff, 0x00ff, 0x00ff, 0x00ff, 0x00ff, 0x00ff, 0x00ff},
    {0xff00, 0xff00, 0xff00, 0xff00, 0xff00, 0xff00, 0xff00, 0xff00}};

#if TESSERA_HAVE_SSE2
namespace sse2 {

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i FirstLanes(std::size_t n) { return Load(kFirstLanes + 16 - n); }
inline __m128i ParityLanes(std::size_t parity) { return Load(kParityLanes[parity]); }

// The byte less "0": digits land on 0 to 9, every other byte, read
// unsigned, above 9.
inline __m128i LessZero(__m128i bytes) { return _mm_sub_epi8(bytes, _mm_set1_epi8('0')); }
inline __m128i AtMostNine(__m128i less_zero) {
  return _mm_cmpeq_epi8(_mm_min_epu8(less_zero, _mm_set1_epi8(9)), less_zero);
}

inline __m128i DigitLanes(__m128i bytes) { return AtMostNine(LessZero(bytes)); }
// DigitValue of every lane: 0 to 9 for a digit, 0 for any other byte.
inline __m128i DigitValues(__m128i bytes) {
  const __m128i less_zero = LessZero(bytes);
  return _mm_and_si128(less_zero, AtMostNine(less_zero));
}
inline __m128i ByteLanes(__m128i bytes, char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); }

// 64 consecutive bytes, as four registers.
struct Chunk {
  __m128i part[4];

  static Chunk Load(const void* p) {
    const auto* bytes = static_cast<const unsigned char*>(p);
    return {{sse2::Load(bytes), sse2::Load(bytes + 16), sse2::Load(bytes + 32), sse2::Load(bytes + 48)}};
  }
  static uint64_t Bits(__m128i a, __m128i b, __m128i c, __m128i d) {
    const auto bits = [](__m128i lanes) { return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(lanes))}; };
    return bits(a) | bits(b) << 16 | bits(c) << 32 | bits(d) << 48;
  }

  uint64_t Digits() const {
    return Bits(DigitLanes(part[0]), DigitLanes(part[1]), DigitLanes(part[2]), DigitLanes(part[3]));
  }
  uint64_t Byte(char c) const {
    return Bits(ByteLanes(part[0], c), ByteLanes(part[1], c), ByteLanes(part[2], c), ByteLanes(part[3], c));
  }
  uint64_t EitherByte(char a, char b) const {
    const auto either = [a, b](__m128i bytes) { return _mm_or_si128(ByteLanes(bytes, a), ByteLanes(bytes, b)); };
    return Bits(either(part[0]), either(part[1]), either(part[2]), either(part[3]));
  }
};

}  // namespace sse2
#endif

#if TESSERA_HAVE_AVX2
// Only functions compiled for AVX2 may call these; the lambdas of the SSE2
// forms would not inherit the target, so there are none here.
namespace avx2 {

TESSERA_AVX2 inline __m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }

TESSERA_AVX2 inline __m256i DigitLanes(__m256i bytes) {
  const __m256i less_zero = _mm256_sub_epi8(bytes, _mm256_set1_epi8('0'));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(less_zero, _mm256_set1_epi8(9)), less_zero);
}
TESSERA_AVX2 inline __m256i ByteLanes(__m256i bytes, char c) { return _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c)); }

// 64 consecutive bytes, as two registers.
struct Chunk {
  __m256i low, high;

  TESSERA_AVX2 static Chunk Load(const void* p) {
    const auto* bytes = static_cast<const unsigned char*>(p);
    return {avx2::Load(bytes), avx2::Load(bytes + 32)};
  }
  TESSERA_AVX2 static uint64_t Bits(__m256i low, __m256i high) {
    return uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(low))} |
           uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(high))} << 32;
  }

  TESSERA_AVX2 uint64_t Digits() const { return Bits(DigitLanes(low), DigitLanes(high)); }
  TESSERA_AVX2 uint64_t Byte(char c) const { return Bits(ByteLanes(low, c), ByteLanes(high, c)); }
  TESSERA_AVX2 uint64_t EitherByte(char a, char b) const {
    return Bits(_mm256_or_si256(ByteLanes(low, a), ByteLanes(low, b)),
                _mm256_or_si256(ByteLanes(high, a), ByteLanes(high, b)));
  }
};

}  // namespace avx2
#endif

}  // namespace tessera::simd
