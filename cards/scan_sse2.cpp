// scan_sse2.cpp -- byte classes for the scanner, sixteen bytes at a time
#include "cards/scan_simd.h"

#include "base/byte_masks.h"

#if TESSERA_HAVE_SSE2

namespace tessera::simd {
namespace {

template <bool kWide>
void Classify(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    const sse2::Chunk bytes = sse2::Chunk::Load(p);
    uint64_t separators = bytes.EitherByte(' ', '-');
    uint64_t high = 0;
    if constexpr (kWide) {
      separators |= bytes.EitherByte('+', '%');
      // Bytes from 0x80 have their top bit set: the mask takes it as it is.
      high = sse2::Chunk::Bits(bytes.part[0], bytes.part[1], bytes.part[2], bytes.part[3]);
    }
    out[chunk] = {bytes.Digits(), separators, bytes.Byte('\n'), high};
  }
}

}  // namespace

void ClassifyBytesSse2(const unsigned char* p, std::size_t chunks, ByteClasses* out) { Classify<false>(p, chunks, out); }
void ClassifyBytesSse2Wide(const unsigned char* p, std::size_t chunks, ByteClasses* out) { Classify<true>(p, chunks, out); }

}  // namespace tessera::simd

#endif
