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

namespace {

int16_t PortableSum(const unsigned char* p, std::size_t n) {
  return ScalarLuhnSum(Text(reinterpret_cast<const char*>(p), n));
}

void PortableChecks(const PaddedText* texts, std::size_t n, bool* passes) {
  for (std::size_t i = 0; i < n; ++i) passes[i] = ScalarLuhnSum(texts[i]) % 10 == 0;
}

constexpr LuhnForms kLuhnForms[] = {
    {PortableSum, PortableChecks},
#if TESSERA_HAVE_SSE2
    {simd::LuhnSumSse2, simd::LuhnChecksSse2Padded},
#endif
#if TESSERA_HAVE_AVX2
    {simd::LuhnSumAvx2, simd::LuhnChecksAvx2Padded},
#endif
};

}  // namespace

const LuhnForms& LuhnFormsFor(simd::Isa isa) { return simd::FormsFor(kLuhnForms, isa); }
const LuhnForms& RunningLuhnForms() { return simd::FormsFor(kLuhnForms, simd::RunningIsa()); }

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

}  // namespace tessera
