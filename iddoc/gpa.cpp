// gpa.cpp -- GPA number layout and its 7-3-1 check digits
#include "iddoc/gpa.h"

namespace tessera {
namespace {

// `phase` is how many characters of the weight cycle came before `text`,
// so that blocks run together can be summed without joining them.
constexpr int32_t WeightedSum731(Text text, std::size_t phase = 0) {
  int32_t sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) sum += DigitValue(text[i]) * kWeights731[(phase + i) % 3];
  return sum;
}

constexpr bool IsCheckDigitOf(int32_t weighted_sum, char check) { return weighted_sum % 10 == DigitValue(check); }

}  // namespace

bool CheckDigit731(Text text) {
  if (text.empty()) return false;
  return IsCheckDigitOf(WeightedSum731(text.substr(0, text.size() - 1)), text.back());
}

bool ScalarCheckGPANo(Text text) {
  if (text.size() != kGpaLength || !HasGpaSeparators(text)) return false;
  int32_t overall = 0;
  std::size_t run = 0;
  for (const GpaBlock& block : kGpaBlocks) {
    const Text characters = Substring(text, static_cast<std::ptrdiff_t>(block.first),
                                      static_cast<std::ptrdiff_t>(block.check - block.first + 1));
    if (!CheckDigit731(characters)) return false;
    overall += WeightedSum731(characters, run);
    run += characters.size();
  }
  return IsCheckDigitOf(overall, text[kGpaOverallCheck - 1]);
}

}  // namespace tessera
