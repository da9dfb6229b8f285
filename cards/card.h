// card.h -- the full card check: a known brand that passes the checksum
#pragma once

#include "cards/brands.h"
#include "cards/luhn.h"

namespace tessera {

inline bool CheckCard(Text text) { return CheckOrganization(text) && CheckNumber(text); }

}  // namespace tessera
