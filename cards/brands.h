// brands.h -- which card brand a number belongs to, by its length and first digits
#pragma once

#include <string_view>

#include "frame/field.h"

namespace tessera {

// The brands' rules exclude one another, so a text has at most one brand.
enum class Brand { None, Amex, DinersClub, Discover, Jcb, MasterCard, Visa };

bool IsAmex(Text text);
bool IsDC(Text text);
bool IsDisc(Text text);
bool IsJCB(Text text);
bool IsMC(Text text);
bool IsVisa(Text text);

// Any of the six, asked in the order above.
bool CheckOrganization(Text text);

Brand BrandOf(Text text);
std::string_view BrandName(Brand brand);

}  // namespace tessera
