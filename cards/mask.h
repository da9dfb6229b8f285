// mask.h -- card numbers as they may be shown to people
#pragma once

#include <cstddef>
#include <string>

#include "base/field.h"

namespace tessera {

// At most the first six and the last four digits of a card number may be
// shown; every digit between them becomes "*", and every other character
// stays where it is, so that "4111 1111 1111 1111" reads "4111 11** **** 1111".
inline constexpr std::size_t kShownFirstDigits = 6;
inline constexpr std::size_t kShownLastDigits = 4;

// Writes number.size() bytes to `out`.
void MaskCardNumber(Text number, char* out);

inline std::string MaskedCardNumber(Text number) {
  std::string masked(number.size(), '\0');
  MaskCardNumber(number, masked.data());
  return masked;
}

}  // namespace tessera
