// scan_simd.h -- the byte classes the scanner skips by, in a portable form and vector forms equal to it
#pragma once

#include <cstddef>

#include "cards/scan.h"
#include "base/simd.h"

namespace tessera {

// Classes `chunks` consecutive 64-byte chunks starting at p into out[0,
// chunks): for the seed rule's separators, and for the current rule's
// (whose separators take '+' and '%' too, and bytes from 0x80 are marked).
void ClassifyBytesScalar(const unsigned char* p, std::size_t chunks, ByteClasses* out);
void ClassifyBytesScalarWide(const unsigned char* p, std::size_t chunks, ByteClasses* out);

// The portable skippers: for the seed rule's separators, and for the current
// rule's wider ones.
std::size_t SkipPortable(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at, std::size_t end,
                         bool padded);
std::size_t SkipPortableWide(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at, std::size_t end,
                             bool padded);

namespace simd {

#if TESSERA_HAVE_SSE2
void ClassifyBytesSse2(const unsigned char* p, std::size_t chunks, ByteClasses* out);
void ClassifyBytesSse2Wide(const unsigned char* p, std::size_t chunks, ByteClasses* out);
#endif

#if TESSERA_HAVE_AVX2
void ClassifyBytesAvx2(const unsigned char* p, std::size_t chunks, ByteClasses* out);
void ClassifyBytesAvx2Wide(const unsigned char* p, std::size_t chunks, ByteClasses* out);
// The portable skippers' loops, with the bits counted and found in one
// instruction each.
std::size_t SkipAvx2(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at, std::size_t end, bool padded);
std::size_t SkipAvx2Wide(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at, std::size_t end,
                         bool padded);
#endif

}  // namespace simd

// The skipper's forms for one instruction set.
struct ScanForms {
  detail::ScanSkipper::ClassifyFunction classify, classify_wide;
  detail::ScanSkipper::SkipFunction skip, skip_wide;
};

// The forms of `isa`, which the processor must run: the tests compare them.
const ScanForms& ScanFormsFor(simd::Isa isa);

}  // namespace tessera
