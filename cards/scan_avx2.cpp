// scan_avx2.cpp -- byte classes for the scanner, thirty-two bytes at a time
#include "cards/scan_simd.h"

#if TESSERA_HAVE_AVX2

#include <cstdint>

#include "base/byte_masks.h"
#include "cards/scan_skip.h"

namespace tessera::simd {

namespace {

template <bool kWide>
TESSERA_AVX2 void Classify(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    const avx2::Chunk bytes = avx2::Chunk::Load(p);
    uint64_t separators = bytes.EitherByte(' ', '-');
    uint64_t high = 0;
    if constexpr (kWide) {
      separators |= bytes.EitherByte('+', '%');
      high = avx2::Chunk::Bits(bytes.low, bytes.high);
    }
    out[chunk] = {bytes.Digits(), separators, bytes.Byte('\n'), high};
  }
  // Leave the wide registers clean before running SSE code again.
  _mm256_zeroupper();
}

}  // namespace

TESSERA_AVX2 void ClassifyBytesAvx2(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  Classify<false>(p, chunks, out);
}

TESSERA_AVX2 void ClassifyBytesAvx2Wide(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
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

// The same loop as the portable one; only the instructions differ.
TESSERA_AVX2 std::size_t SkipAvx2(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at,
                                  std::size_t end, bool padded) {
  return scan_skip::Skip<InstructionBits, false>(skipper, p, at, end, padded);
}

TESSERA_AVX2 std::size_t SkipAvx2Wide(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at,
                                      std::size_t end, bool padded) {
  return scan_skip::Skip<InstructionBits, true>(skipper, p, at, end, padded);
}

}  // namespace tessera::simd

#endif
