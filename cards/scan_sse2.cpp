// scan_sse2.cpp -- byte classes for the scanner, sixteen bytes at a time
#include "cards/scan_simd.h"

#if TESSERA_HAVE_SSE2

#include <emmintrin.h>

#include <cstdint>

namespace tessera::simd {
namespace {

struct Masks16 {
  uint32_t digits, separators, newlines, high;
};

template <bool kWide>
inline Masks16 Classify16(const unsigned char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Digits are the bytes that land on 0-9 after subtracting '0', unsigned.
  const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(9)), offset);
  __m128i separator =
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('-')));
  if constexpr (kWide)
    separator = _mm_or_si128(separator, _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('+')),
                                                     _mm_cmpeq_epi8(bytes, _mm_set1_epi8('%'))));
  const __m128i newline = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'));
  // Bytes from 0x80 have their top bit set: the mask takes it as it is.
  return {static_cast<uint32_t>(_mm_movemask_epi8(digit)), static_cast<uint32_t>(_mm_movemask_epi8(separator)),
          static_cast<uint32_t>(_mm_movemask_epi8(newline)), kWide ? static_cast<uint32_t>(_mm_movemask_epi8(bytes)) : 0};
}

template <bool kWide>
void Classify(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    ByteClasses classes{0, 0, 0, 0};
    for (unsigned quarter = 0; quarter < 4; ++quarter) {
      const Masks16 m = Classify16<kWide>(p + 16 * quarter);
      classes.digits |= static_cast<uint64_t>(m.digits) << (16 * quarter);
      classes.separators |= static_cast<uint64_t>(m.separators) << (16 * quarter);
      classes.newlines |= static_cast<uint64_t>(m.newlines) << (16 * quarter);
      classes.high |= static_cast<uint64_t>(m.high) << (16 * quarter);
    }
    out[chunk] = classes;
  }
}

}  // namespace

void ClassifyBytesSse2(const unsigned char* p, std::size_t chunks, ByteClasses* out) { Classify<false>(p, chunks, out); }
void ClassifyBytesSse2Wide(const unsigned char* p, std::size_t chunks, ByteClasses* out) { Classify<true>(p, chunks, out); }

}  // namespace tessera::simd

#endif
