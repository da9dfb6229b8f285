// simd.h -- which vector instructions a build may use
//
// SSE2 is part of every x86-64 processor and the 32-bit Windows module
// requires it; AVX2 is chosen at run time, where the compiler can target it
// per function.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#define TESSERA_HAVE_SSE2 1
#else
#define TESSERA_HAVE_SSE2 0
#endif

#if TESSERA_HAVE_SSE2 && defined(__GNUC__) && !defined(_WIN32)
#define TESSERA_HAVE_AVX2 1
#else
#define TESSERA_HAVE_AVX2 0
#endif
