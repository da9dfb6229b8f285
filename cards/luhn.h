// luhn.h -- the Luhn (mod 10) checksum of card numbers
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/field.h"
#include "base/padded.h"
#include "base/simd.h"

namespace tessera {

namespace simd {
#if TESSERA_HAVE_SSE2
int16_t LuhnSumSse2(const unsigned char* p, std::size_t n);
// For a text of at most 16 characters.
int16_t LuhnSumSse2Padded(PaddedText text);
void LuhnChecksSse2Padded(const PaddedText* texts, std::size_t n, bool* passes);
#endif
#if TESSERA_HAVE_AVX2
int16_t LuhnSumAvx2(const unsigned char* p, std::size_t n);
void LuhnChecksAvx2Padded(const PaddedText* texts, std::size_t n, bool* passes);
#endif
}  // namespace simd

// A character's share of the sum: its DigitValue, or, where it is doubled,
// twice that less 9 when that exceeds 9. Non-digits count 0 but keep
// their position.
struct LuhnShares {
  std::array<uint8_t, 256> plain{}, doubled{};
};

inline constexpr LuhnShares kLuhnShares = [] {
  LuhnShares shares;
  for (int byte = 0; byte < 256; ++byte) {
    const int32_t d = DigitValue(static_cast<char>(byte));
    shares.plain[static_cast<std::size_t>(byte)] = static_cast<uint8_t>(d);
    shares.doubled[static_cast<std::size_t>(byte)] = static_cast<uint8_t>(2 * d > 9 ? 2 * d - 9 : 2 * d);
  }
  return shares;
}();

// The sum is a signed 16-bit quantity and wraps past 32,767 (texts of more
// than 3,640 characters reach that), and answers depend on the wrap. Since
// wrapping addition is associative, sums are taken wide and wrapped once.
constexpr int16_t Wrap16(uint64_t sum) { return static_cast<int16_t>(static_cast<uint16_t>(sum)); }

// Counted from the right, the second-to-last character and every second
// one before it are doubled, the last one never.
int16_t ScalarLuhnSum(Text text);

// The vector forms of the sum for one instruction set.
struct LuhnForms {
  int16_t (*sum)(const unsigned char* p, std::size_t n);
  void (*checks)(const PaddedText* texts, std::size_t n, bool* passes);
};

// The forms of `isa`, which the processor must run: the tests compare them.
const LuhnForms& LuhnFormsFor(simd::Isa isa);
// The forms for this processor, as simd::RunningIsa() found it once.
const LuhnForms& RunningLuhnForms();

// Texts this long are summed in the widest registers the processor has;
// short numbers gain nothing from them.
inline constexpr std::size_t kLongLuhnText = 256;

// The same sum, by the fastest form this processor has.
inline int16_t LuhnSum(Text text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (text.size() >= kLongLuhnText) [[unlikely]] return RunningLuhnForms().sum(bytes, text.size());
#if TESSERA_HAVE_SSE2
  return simd::LuhnSumSse2(bytes, text.size());
#else
  return ScalarLuhnSum(text);
#endif
}

inline int16_t LuhnSumPadded(PaddedText text) {
#if TESSERA_HAVE_SSE2
  if (text.size() <= 16) return simd::LuhnSumSse2Padded(text);
  // The last sixteen and the rest: sixteen is even, so each part doubles
  // the characters the whole doubles.
  if (text.size() <= 32) {
    const std::size_t head = text.size() - 16;
    return static_cast<int16_t>(simd::LuhnSumSse2Padded(text.substr(0, head)) +
                                simd::LuhnSumSse2Padded(text.substr(head)));
  }
#endif
  return LuhnSum(text);
}

// Yes for the empty text and for text without digits: their sum is 0.
// The remainder takes the sign of the sum; only whether it is 0 matters.
inline bool CheckNumber(Text text) { return LuhnSum(text) % 10 == 0; }
inline bool CheckNumberPadded(PaddedText text) { return LuhnSumPadded(text) % 10 == 0; }

// CheckNumber of each of n texts, with no call per text.
inline void LuhnChecksPadded(const PaddedText* texts, std::size_t n, bool* passes) {
  RunningLuhnForms().checks(texts, n, passes);
}

// The sum of a text that arrives in pieces (a line longer than a read
// buffer): which characters are doubled depends on the length, known only
// at the end, so both choices are summed as the pieces pass.
class LuhnStream {
 public:
  void Add(Text piece);
  std::size_t size() const { return size_; }
  int16_t Sum() const;
  bool Passes() const { return Sum() % 10 == 0; }

 private:
  // [p][d]: the shares of the characters at offsets of parity p, doubled or not.
  uint64_t sums_[2][2] = {};
  std::size_t size_ = 0;
};

}  // namespace tessera
