// scan_sse2.cpp -- byte classes for the scanner, sixteen bytes at a time
#include "cards/scan_simd.h"

#include "base/byte_masks.h"

#if TESSERA_HAVE_SSE2

namespace tessera::simd {

void ClassifyBytesSse2(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    const sse2::Chunk bytes = sse2::Chunk::Load(p);
    out[chunk] = {bytes.Digits(), bytes.EitherByte(' ', '-'), bytes.Byte('\n')};
  }
}

}  // namespace tessera::simd

#endif
