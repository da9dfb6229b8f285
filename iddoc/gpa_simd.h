// gpa_simd.h -- the GPA check digits in vector registers, equal to the scalar form
#pragma once

#include "frame/field.h"
#include "frame/simd.h"

namespace tessera {

bool HasGpaSeparators(Text text);  // of a text of kGpaLength characters

// The portable form, which runs where no vector unit does; the vector form must equal it.
bool ScalarCheckGPANo(Text text);

namespace simd {
#if TESSERA_HAVE_SSE2
// The four check digits of the kGpaLength characters at p.
bool CheckDigitsSse2(const char* p);
#endif
}  // namespace simd

}  // namespace tessera
