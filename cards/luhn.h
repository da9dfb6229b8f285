// luhn.h -- the Luhn (mod 10) checksum of card numbers
#pragma once

#include <cstdint>

#include "frame/field.h"

namespace tessera {

// Counted from the right, the second-to-last character and every second
// one before it are doubled. Non-digits count 0 but keep their position.
int16_t LuhnSum(Text text);

// The same sum a byte at a time: the reference the vector code is tested against.
int16_t PlainLuhnSum(Text text);

// Yes for the empty text and for text without digits: their sum is 0.
bool CheckNumber(Text text);

}  // namespace tessera
