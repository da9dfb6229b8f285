// card.h -- the full card check: a known brand that passes the checksum
#pragma once

#include "cards/brands.h"
#include "cards/luhn.h"

namespace tessera {

// Both answers are taken and combined without a branch: the checksum has no
// effect besides its answer, and a branch on it would be mispredicted for
// every other number of a batch in which half the numbers fail.
inline bool CheckCard(Text text) {
  const bool brand = CheckOrganization(text), checksum = CheckNumber(text);
  return brand & checksum;
}

}  // namespace tessera
