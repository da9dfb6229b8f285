// simd.cpp -- asks the processor once which vector instructions it runs
#include "base/simd.h"

#if TESSERA_HAVE_AVX2

namespace tessera::simd {

Isa RunningIsa() {
  static const Isa isa = [] {
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return avx2 ? Isa::Avx2 : kBaselineIsa;
  }();
  return isa;
}

}  // namespace tessera::simd

#endif
