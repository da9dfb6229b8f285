// card.h -- the full card check: a known brand that passes the checksum
#pragma once

#include "cards/brands.h"
#include "cards/luhn.h"

namespace tessera {

struct CardVerdict {
  Brand brand;
  bool checksum;
  constexpr bool valid() const { return brand != Brand::None && checksum; }
};

// Both answers are taken and combined without a branch: the checksum has no
// effect besides its answer, and a branch on it would be mispredicted for
// every other number of a batch in which half the numbers fail.
inline CardVerdict JudgeCard(Text number) { return {BrandOf(number), LuhnSum(number) % 10 == 0}; }

// For a view followed by kPadding readable bytes.
inline CardVerdict JudgeCardPadded(Text number) { return {BrandOf(number), LuhnSumPadded(number) % 10 == 0}; }

inline bool CheckCard(Text number) { return JudgeCard(number).valid(); }

}  // namespace tessera
