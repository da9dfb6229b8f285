// scan_simd.h -- the byte classes the scanner skips by, in a portable form and vector forms equal to it
#pragma once

#include <cstddef>

#include "cards/scan.h"
#include "frame/simd.h"

namespace tessera {

// Classes `chunks` consecutive 64-byte chunks starting at p into out[0, chunks).
void ClassifyBytesScalar(const unsigned char* p, std::size_t chunks, ByteClasses* out);

namespace simd {

#if TESSERA_HAVE_SSE2
void ClassifyBytesSse2(const unsigned char* p, std::size_t chunks, ByteClasses* out);
#endif

#if TESSERA_HAVE_AVX2
void ClassifyBytesAvx2(const unsigned char* p, std::size_t chunks, ByteClasses* out);
#endif

}  // namespace simd
}  // namespace tessera
