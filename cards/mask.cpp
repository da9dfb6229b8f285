// mask.cpp -- card numbers as they may be shown to people
#include "cards/mask.h"

#include <algorithm>

namespace tessera {

void MaskCardNumber(Text number, char* out) {
  const auto digits = static_cast<std::size_t>(std::count_if(number.begin(), number.end(), IsDigit));
  std::size_t digit = 0;
  for (std::size_t i = 0; i < number.size(); ++i) {
    const char c = number[i];
    if (IsDigit(c)) {
      const bool shown = digit < kShownFirstDigits || digits - digit <= kShownLastDigits;
      out[i] = shown ? c : '*';
      ++digit;
    } else {
      out[i] = c;
    }
  }
}

}  // namespace tessera
