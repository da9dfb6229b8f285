// isas.h -- the instruction sets this processor runs, whose forms the tests compare
#pragma once

#include <vector>

#include "base/simd.h"

namespace tessera {

inline const std::vector<simd::Isa> kRunningIsas = [] {
  std::vector<simd::Isa> isas;
  for (const simd::Isa isa : {simd::Isa::Portable, simd::Isa::Sse2, simd::Isa::Avx2})
    if (isa <= simd::RunningIsa()) isas.push_back(isa);
  return isas;
}();

constexpr const char* IsaName(simd::Isa isa) {
  switch (isa) {
    case simd::Isa::Portable: return "portable";
    case simd::Isa::Sse2: return "SSE2";
    case simd::Isa::Avx2: return "AVX2";
  }
  return "?";
}

}  // namespace tessera
