// luhn.cpp -- the Luhn (mod 10) checksum of card numbers
#include "cards/luhn.h"

namespace tessera {

// From the right: the last character plain, the one before it doubled, and so on.
int16_t ScalarLuhnSum(Text text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = text.size();
  uint64_t sum = 0;
  for (; i >= 2; i -= 2) sum += kLuhnShares.plain[bytes[i - 1]] + kLuhnShares.doubled[bytes[i - 2]];
  if (i == 1) sum += kLuhnShares.plain[bytes[0]];
  return Wrap16(sum);
}

void LuhnStream::Add(Text piece) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  for (std::size_t i = 0; i < piece.size(); ++i) {
    const std::size_t parity = (size_ + i) % 2;
    sums_[parity][0] += kLuhnShares.plain[bytes[i]];
    sums_[parity][1] += kLuhnShares.doubled[bytes[i]];
  }
  size_ += piece.size();
}

// The characters doubled are those whose offset has the parity of the length.
int16_t LuhnStream::Sum() const {
  const std::size_t doubled = size_ % 2;
  return Wrap16(sums_[doubled][1] + sums_[1 - doubled][0]);
}

void LuhnChecksPadded(const Text* texts, std::size_t n, bool* passes) {
#if TESSERA_HAVE_AVX2
  if (simd::HaveAvx2()) return simd::LuhnChecksAvx2Padded(texts, n, passes);
#endif
#if TESSERA_HAVE_SSE2
  simd::LuhnChecksSse2Padded(texts, n, passes);
#else
  for (std::size_t i = 0; i < n; ++i) passes[i] = CheckNumber(texts[i]);
#endif
}

}  // namespace tessera
