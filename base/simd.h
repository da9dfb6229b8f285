// simd.h -- which vector instructions a build may use, and which this processor runs
//
// SSE2 is part of every x86-64 processor and the 32-bit Windows module
// requires it, so its forms are called directly. Wider forms are chosen at
// run time, here and nowhere else, where the compiler can target them per
// function.
#pragma once

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__) || defined(_M_X64)
#define TESSERA_HAVE_SSE2 1
#else
#define TESSERA_HAVE_SSE2 0
#endif

#if TESSERA_HAVE_SSE2 && defined(__GNUC__) && !defined(_WIN32)
#define TESSERA_HAVE_AVX2 1
// The AVX2 forms also count and find bits in one instruction each, which
// every processor with AVX2 can.
#define TESSERA_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt,lzcnt")))
#else
#define TESSERA_HAVE_AVX2 0
#endif

namespace tessera::simd {

enum class Isa : unsigned char { Portable, Sse2, Avx2 };

inline constexpr Isa kBaselineIsa = TESSERA_HAVE_SSE2 ? Isa::Sse2 : Isa::Portable;

#if TESSERA_HAVE_AVX2
// The widest set this build has forms for that the processor runs, asked
// of the processor once.
Isa RunningIsa();
#else
constexpr Isa RunningIsa() { return kBaselineIsa; }
#endif

// A kernel's table of forms has one row per instruction set this build has
// forms for, in the order of Isa; this is the row for `isa`.
template <class Forms, std::size_t N>
constexpr const Forms& FormsFor(const Forms (&rows)[N], Isa isa) {
  return rows[std::min(static_cast<std::size_t>(isa), N - 1)];
}

}  // namespace tessera::simd
