// brands.cpp -- card-brand recognition by length and prefix
#include "cards/brands.h"

#include <array>
#include <cstddef>

namespace tessera {

// Only the length and the first four characters matter, so every brand
// rule is evaluated at once, without branches that random numbers would
// mispredict. PlainBrandOf below states the same rules as a table.
Brand BrandOf(Text text) {
  const std::size_t n = text.size();
  if (n < 13 || n > 16) return Brand::None;
  const char c0 = text[0], c1 = text[1], c2 = text[2];
  const bool c1_1_to_5 = c1 >= '1' && c1 <= '5', c2_0_to_5 = c2 >= '0' && c2 <= '5';
  const bool p6011 = text.starts_with("6011"), p1800 = text.starts_with("1800"), p2131 = text.starts_with("2131");
  const bool amex = (n == 15) & (c0 == '3') & ((c1 == '4') | (c1 == '7'));
  const bool diners = (n == 14) & (c0 == '3') & ((c1 == '6') | (c1 == '8') | ((c1 == '0') & c2_0_to_5));
  const bool discover = (n == 16) & p6011;
  const bool jcb = (n >= 15) & (p1800 | p2131 | ((c0 == '3') & !amex));
  const bool mastercard = (n == 16) & (c0 == '5') & c1_1_to_5;
  const bool visa = ((n == 13) | (n == 16)) & (c0 == '4');
  // The rules exclude one another, so at most one term is not 0.
  return static_cast<Brand>(amex * static_cast<int>(Brand::Amex) + diners * static_cast<int>(Brand::DinersClub) +
                            discover * static_cast<int>(Brand::Discover) + jcb * static_cast<int>(Brand::Jcb) +
                            mastercard * static_cast<int>(Brand::MasterCard) + visa * static_cast<int>(Brand::Visa));
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
