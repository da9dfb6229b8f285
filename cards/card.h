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

CardVerdict JudgeCard(Text number);
// For a view followed by kPadding readable bytes.
CardVerdict JudgeCardPadded(Text number);

bool CheckCard(Text number);

}  // namespace tessera
