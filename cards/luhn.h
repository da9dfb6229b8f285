// luhn.h -- the Luhn (mod 10) checksum of card numbers
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "frame/field.h"
#include "frame/simd.h"

namespace tessera {

namespace simd {
#if TESSERA_HAVE_SSE2
int16_t LuhnSumSse2(const unsigned char* p, std::size_t n);
// May load up to 15 bytes past p + n.
int16_t LuhnSumSse2Padded(const unsigned char* p, std::size_t n);
void LuhnChecksSse2Padded(const Text* texts, std::size_t n, bool* passes);
#endif
#if TESSERA_HAVE_AVX2
bool HaveAvx2();
int16_t LuhnSumAvx2(const unsigned char* p, std::size_t n);
void LuhnChecksAvx2Padded(const Text* texts, std::size_t n, bool* passes);
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

// The same sum, by the fastest form this processor has.
inline int16_t LuhnSum(Text text) {
#if TESSERA_HAVE_SSE2
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
#if TESSERA_HAVE_AVX2
  // Long texts only: short numbers gain nothing from the wide registers.
  if (text.size() >= 256 && simd::HaveAvx2()) return simd::LuhnSumAvx2(bytes, text.size());
#endif
  return simd::LuhnSumSse2(bytes, text.size());
#else
  return ScalarLuhnSum(text);
#endif
}

// The same, for a view followed by kPadding readable bytes.
inline int16_t LuhnSumPadded(Text text) {
#if TESSERA_HAVE_SSE2
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (text.size() <= 16) return simd::LuhnSumSse2Padded(bytes, text.size());
  // The last sixteen and the rest: sixteen is even, so each part doubles
  // the characters the whole doubles.
  if (text.size() <= 32) {
    const std::size_t head = text.size() - 16;
    return static_cast<int16_t>(simd::LuhnSumSse2Padded(bytes, head) + simd::LuhnSumSse2Padded(bytes + head, 16));
  }
#endif
  return LuhnSum(text);
}

// Yes for the empty text and for text without digits: their sum is 0.
// The remainder takes the sign of the sum; only whether it is 0 matters.
inline bool CheckNumber(Text text) { return LuhnSum(text) % 10 == 0; }
// The same, for a view followed by kPadding readable bytes.
inline bool CheckNumberPadded(Text text) { return LuhnSumPadded(text) % 10 == 0; }

// CheckNumber of each of n texts, each followed by kPadding readable bytes,
// with no call per text.
void LuhnChecksPadded(const Text* texts, std::size_t n, bool* passes);

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
