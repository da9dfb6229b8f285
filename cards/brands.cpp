// brands.cpp -- card-brand recognition by length and prefix
#include "cards/brands.h"

#include <array>
#include <cstddef>

namespace tessera {

// Only the length and the first four characters matter, so one switch on
// the length and a look at those characters decides every brand at once.
// PlainBrandOf below states the same rules as a table.
Brand BrandOf(Text text) {
  const auto starts = [text](Text prefix) { return text.starts_with(prefix); };
  switch (text.size()) {
    case 13:
      return starts("4") ? Brand::Visa : Brand::None;
    case 14:
      if (starts("36") || starts("38")) return Brand::DinersClub;
      return starts("30") && text[2] >= '0' && text[2] <= '5' ? Brand::DinersClub : Brand::None;
    case 15:
      if (starts("34") || starts("37")) return Brand::Amex;
      return starts("3") || starts("1800") || starts("2131") ? Brand::Jcb : Brand::None;
    case 16:
      switch (text[0]) {
        case '3': return Brand::Jcb;
        case '4': return Brand::Visa;
        case '5': return text[1] >= '1' && text[1] <= '5' ? Brand::MasterCard : Brand::None;
        case '6': return starts("6011") ? Brand::Discover : Brand::None;
        default: return starts("1800") || starts("2131") ? Brand::Jcb : Brand::None;
      }
    default:
      return Brand::None;
  }
}

bool IsAmex(Text text) { return BrandOf(text) == Brand::Amex; }
bool IsDC(Text text) { return BrandOf(text) == Brand::DinersClub; }
bool IsDisc(Text text) { return BrandOf(text) == Brand::Discover; }
bool IsJCB(Text text) { return BrandOf(text) == Brand::Jcb; }
bool IsMC(Text text) { return BrandOf(text) == Brand::MasterCard; }
bool IsVisa(Text text) { return BrandOf(text) == Brand::Visa; }
bool CheckOrganization(Text text) { return BrandOf(text) != Brand::None; }

namespace {

// Characters after the prefix are never looked at: they need not be digits.
struct BrandRule {
  Brand brand;
  std::array<std::size_t, 2> lengths;  // 0 marks an unused slot
  std::array<Text, 8> prefixes;        // empty marks an unused slot
};

// In the order the brands are asked. JCB also takes "3" when the text is
// not American Express; PlainBrandOf adds that.
constexpr BrandRule kRules[] = {
    {Brand::Amex, {15}, {"34", "37"}},
    {Brand::DinersClub, {14}, {"36", "38", "300", "301", "302", "303", "304", "305"}},
    {Brand::Discover, {16}, {"6011"}},
    {Brand::Jcb, {15, 16}, {"1800", "2131"}},
    {Brand::MasterCard, {16}, {"51", "52", "53", "54", "55"}},
    {Brand::Visa, {16, 13}, {"4"}},
};

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

constexpr const BrandRule& kAmex = kRules[0];

}  // namespace

Brand PlainBrandOf(Text text) {
  for (const BrandRule& rule : kRules) {
    if (Matches(rule, text)) return rule.brand;
    if (rule.brand == Brand::Jcb && HasLength(rule, text) && text.front() == '3' && !Matches(kAmex, text)) {
      return Brand::Jcb;
    }
  }
  return Brand::None;
}

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
