// gpa.cpp -- GPA number layout and its 7-3-1 check digits
#include "iddoc/gpa.h"

#include <cstddef>
#include <cstdint>

namespace tessera {
namespace {

constexpr std::size_t kGpaLength = 29;

// `phase` is how many characters of the weight cycle came before `text`,
// so that joined blocks can be summed without joining them.
constexpr int32_t WeightedSum731(Text text, std::size_t phase = 0) {
  constexpr int32_t kWeights[3] = {7, 3, 1};
  int32_t sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) sum += DigitValue(text[i]) * kWeights[(phase + i) % 3];
  return sum;
}

constexpr bool IsCheckDigitOf(int32_t weighted_sum, char check) { return weighted_sum % 10 == DigitValue(check); }

}  // namespace

bool CheckDigit731(Text text) {
  if (text.empty()) return false;
  const auto before = static_cast<std::ptrdiff_t>(text.size() - 1);
  return IsCheckDigitOf(WeightedSum731(Prefix(text, before)), text.back());
}

bool CheckGPANo(Text text) {
  if (text.size() != kGpaLength) return false;
  if (text[11] != '-' || text[19] != '-' || text[27] != '-') return false;
  const Text document = Substring(text, 1, 10);
  const Text birth = Substring(text, 13, 7);
  const Text expiry = Substring(text, 21, 7);
  if (!CheckDigit731(document) || !CheckDigit731(birth) || !CheckDigit731(expiry)) return false;
  // The overall digit weighs the three blocks as one run of 24 characters,
  // their own check digits included; position 11 is never looked at.
  const int32_t overall = WeightedSum731(document) + WeightedSum731(birth, document.size()) +
                          WeightedSum731(expiry, document.size() + birth.size());
  return IsCheckDigitOf(overall, text[28]);
}

}  // namespace tessera
