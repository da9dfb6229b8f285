// brands.h -- which card brand a number belongs to, by its length and first digits
#pragma once

#include <cstddef>
#include <string_view>

#include "frame/field.h"

namespace tessera {

// The brands' rules exclude one another, so a text has at most one brand.
enum class Brand { None = 0, Amex = 1, DinersClub = 2, Discover = 3, Jcb = 4, MasterCard = 5, Visa = 6 };
inline constexpr std::size_t kBrandCount = 7;

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

// The same answer as BrandOf, from the brand rules as a table, asked one
// brand after another: the reference the fast path is tested against.
Brand PlainBrandOf(Text text);

// Brand tests look at no text longer than this.
inline constexpr std::size_t kLongestCard = 16;

}  // namespace tessera
