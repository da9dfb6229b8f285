// luhn_simd.h -- the vector forms of the Luhn sum, each equal to the scalar LuhnSum
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/simd.h"

namespace tessera {

// The portable form, which runs where no vector unit does; every vector
// form must equal it.
int16_t ScalarLuhnSum(std::string_view text);

namespace simd {

#if TESSERA_HAVE_SSE2
int16_t LuhnSumSse2(const unsigned char* p, std::size_t n);
// May load up to 15 bytes past p + n.
int16_t LuhnSumSse2Padded(const unsigned char* p, std::size_t n);
#endif

#if TESSERA_HAVE_AVX2
bool HaveAvx2();
int16_t LuhnSumAvx2(const unsigned char* p, std::size_t n);
#endif

}  // namespace simd
}  // namespace tessera
