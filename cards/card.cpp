// card.cpp -- the full card check: a known brand that passes the checksum
#include "cards/card.h"

#include "frame/checks.h"

namespace tessera {

// Both answers are taken and combined without a branch: the checksum has no
// effect besides its answer, and a branch on it would be mispredicted for
// every other number of a batch in which half the numbers fail.
CardVerdict JudgeCard(Text number) { return {BrandOf(number), LuhnSum(number) % 10 == 0}; }

CardVerdict JudgeCardPadded(Text number) { return {BrandOf(number), LuhnSumPadded(number) % 10 == 0}; }

bool CheckCard(Text number) { return JudgeCard(number).valid(); }

}  // namespace tessera
