// scan_avx2.cpp -- byte classes for the scanner, thirty-two bytes at a time
#include "cards/scan_simd.h"

#if TESSERA_HAVE_AVX2

#include <immintrin.h>

#include <cstdint>

#include "cards/scan_skip.h"

namespace tessera::simd {
namespace {

struct Masks32 {
  uint32_t digits, separators, newlines, high;
};

template <bool kWide>
__attribute__((target("avx2"))) inline Masks32 Classify32(const unsigned char* p) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i offset = _mm256_sub_epi8(bytes, _mm256_set1_epi8('0'));
  const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8(9)), offset);
  __m256i separator;
  if constexpr (kWide) {
    // ' ', '%', '+' and '-' are 0x20, 0x25, 0x2b and 0x2d: the high half 2,
    // and a low half the table marks.
    const __m256i table = _mm256_setr_epi8(-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, -1, 0, -1, 0, 0,  //
                                           -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, -1, 0, -1, 0, 0);
    const __m256i high_is_2 =
        _mm256_cmpeq_epi8(_mm256_and_si256(bytes, _mm256_set1_epi8(static_cast<char>(0xf0))), _mm256_set1_epi8(0x20));
    separator = _mm256_and_si256(high_is_2, _mm256_shuffle_epi8(table, bytes));
  } else {
    separator = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')),
                                _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('-')));
  }
  const __m256i newline = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n'));
  return {static_cast<uint32_t>(_mm256_movemask_epi8(digit)), static_cast<uint32_t>(_mm256_movemask_epi8(separator)),
          static_cast<uint32_t>(_mm256_movemask_epi8(newline)),
          kWide ? static_cast<uint32_t>(_mm256_movemask_epi8(bytes)) : 0};
}

template <bool kWide>
__attribute__((target("avx2"))) void Classify(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    const Masks32 low = Classify32<kWide>(p), high = Classify32<kWide>(p + 32);
    out[chunk] = {low.digits | static_cast<uint64_t>(high.digits) << 32,
                  low.separators | static_cast<uint64_t>(high.separators) << 32,
                  low.newlines | static_cast<uint64_t>(high.newlines) << 32,
                  low.high | static_cast<uint64_t>(high.high) << 32};
  }
  // Leave the wide registers clean before running SSE code again.
  _mm256_zeroupper();
}

}  // namespace

__attribute__((target("avx2"))) void ClassifyBytesAvx2(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  Classify<false>(p, chunks, out);
}

__attribute__((target("avx2"))) void ClassifyBytesAvx2Wide(const unsigned char* p, std::size_t chunks,
                                                          ByteClasses* out) {
  Classify<true>(p, chunks, out);
}

namespace {

// Inlined into SkipAvx2, where the builtin is one popcnt instruction.
struct InstructionBits {
  __attribute__((always_inline)) static inline uint64_t Count(uint64_t x) {
    return static_cast<uint64_t>(__builtin_popcountll(x));
  }
};

}  // namespace

bool HaveAvx2Bits() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
         __builtin_cpu_supports("popcnt");
}

// The same loop as the portable one; only the instructions differ.
__attribute__((target("avx2,bmi,bmi2,popcnt,lzcnt"))) std::size_t SkipAvx2(detail::ScanSkipper& skipper,
                                                                          const unsigned char* p, std::size_t at,
                                                                          std::size_t end, bool padded) {
  return scan_skip::Skip<InstructionBits, false>(skipper, p, at, end, padded);
}

__attribute__((target("avx2,bmi,bmi2,popcnt,lzcnt"))) std::size_t SkipAvx2Wide(detail::ScanSkipper& skipper,
                                                                              const unsigned char* p, std::size_t at,
                                                                              std::size_t end, bool padded) {
  return scan_skip::Skip<InstructionBits, true>(skipper, p, at, end, padded);
}

}  // namespace tessera::simd

#endif
