// card.h -- the full card check: a known brand that passes the checksum
#pragma once

#include <algorithm>
#include <array>

#include "cards/brands.h"
#include "cards/luhn.h"

namespace tessera {

struct CardVerdict {
  Brand brand;
  bool checksum;
  // Both parts taken without a branch, which half the numbers of a batch
  // would send the wrong way.
  constexpr bool valid() const { return static_cast<bool>((brand != Brand::None) & checksum); }
};

// Both answers are taken and combined without a branch: the checksum has no
// effect besides its answer, and a branch on it would be mispredicted for
// every other number of a batch in which half the numbers fail.
inline CardVerdict JudgeCard(Text number) { return {BrandOf(number), CheckNumber(number)}; }

inline CardVerdict JudgeCardPadded(PaddedText number) { return {BrandOf(number), CheckNumberPadded(number)}; }

// JudgeCardPadded of each of n numbers: the lookups and sums of a batch are
// independent, so the processor works on several numbers at once, with no
// call per number.
void JudgeCardsPadded(const PaddedText* numbers, std::size_t n, CardVerdict* verdicts);

inline bool CheckCard(Text number) { return JudgeCard(number).valid(); }

// The same by either brand table: the seed's as above, or today's.
inline CardVerdict JudgeCard(Text number, BrandTable table) { return {BrandOf(number, table), CheckNumber(number)}; }
inline CardVerdict JudgeCardPadded(PaddedText number, BrandTable table) {
  return {BrandOf(number, table), CheckNumberPadded(number)};
}
void JudgeCardsPadded(const PaddedText* numbers, std::size_t n, CardVerdict* verdicts, BrandTable table);

// The verdict of a text too long to hold, which went through `sum` in
// pieces; `head` holds its first characters (at least kLongestBrandPrefix
// of them, or all when it is shorter). No rule accepts a text longer than
// kLongestCard; for the others the brand depends on the length and the
// first characters only.
inline CardVerdict JudgeCardStream(Text head, const LuhnStream& sum, BrandTable table = BrandTable::Seed) {
  constexpr std::size_t kLongest = std::max(LongestCard(BrandTable::Seed), LongestCard(BrandTable::Current));
  const std::size_t size = sum.size();
  Brand brand = Brand::None;
  if (size <= LongestCard(table)) {
    std::array<char, kLongest> text{};
    head.copy(text.data(), std::min(head.size(), size));
    brand = BrandOf(Text(text.data(), size), table);
  }
  return {brand, sum.Passes()};
}

}  // namespace tessera
