// brands.cpp -- card-brand recognition by length and prefix
#include "cards/brands.h"

#include <array>
#include <cstddef>

namespace tessera {
namespace {

// Only the length and the prefix are looked at; the characters after the
// prefix need not be digits.
struct BrandRule {
  std::array<std::size_t, 2> lengths;  // 0 marks an unused slot
  std::array<Text, 8> prefixes;        // empty marks an unused slot
};

constexpr BrandRule kAmex{{15}, {"34", "37"}};
constexpr BrandRule kDinersClub{{14}, {"36", "38", "300", "301", "302", "303", "304", "305"}};
constexpr BrandRule kDiscover{{16}, {"6011"}};
constexpr BrandRule kJcb{{15, 16}, {"1800", "2131"}};  // and "3" when not Amex, see IsJCB
constexpr BrandRule kMasterCard{{16}, {"51", "52", "53", "54", "55"}};
constexpr BrandRule kVisa{{16, 13}, {"4"}};

constexpr bool HasLength(const BrandRule& rule, Text text) {
  for (std::size_t length : rule.lengths)
    if (length != 0 && length == text.size()) return true;
  return false;
}

constexpr bool HasPrefix(const BrandRule& rule, Text text) {
  for (Text prefix : rule.prefixes)
    if (!prefix.empty() && Prefix(text, static_cast<std::ptrdiff_t>(prefix.size())) == prefix) return true;
  return false;
}

constexpr bool Matches(const BrandRule& rule, Text text) { return HasLength(rule, text) && HasPrefix(rule, text); }

}  // namespace

bool IsAmex(Text text) { return Matches(kAmex, text); }
bool IsDC(Text text) { return Matches(kDinersClub, text); }
bool IsDisc(Text text) { return Matches(kDiscover, text); }
bool IsMC(Text text) { return Matches(kMasterCard, text); }
bool IsVisa(Text text) { return Matches(kVisa, text); }

// Every 15- or 16-character text that starts with "3" is JCB unless it is
// American Express, whatever its second digit.
bool IsJCB(Text text) {
  if (!HasLength(kJcb, text)) return false;
  return HasPrefix(kJcb, text) || (text.front() == '3' && !IsAmex(text));
}

Brand BrandOf(Text text) {
  if (IsAmex(text)) return Brand::Amex;
  if (IsDC(text)) return Brand::DinersClub;
  if (IsDisc(text)) return Brand::Discover;
  if (IsJCB(text)) return Brand::Jcb;
  if (IsMC(text)) return Brand::MasterCard;
  if (IsVisa(text)) return Brand::Visa;
  return Brand::None;
}

bool CheckOrganization(Text text) { return BrandOf(text) != Brand::None; }

std::string_view BrandName(Brand brand) {
  switch (brand) {
    case Brand::Amex: return "American Express";
    case Brand::DinersClub: return "Diners Club";
    case Brand::Discover: return "Discover";
    case Brand::Jcb: return "JCB";
    case Brand::MasterCard: return "MasterCard";
    case Brand::Visa: return "Visa";
    case Brand::None: break;
  }
  return "none";
}

}  // namespace tessera
