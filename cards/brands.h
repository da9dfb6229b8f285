// brands.h -- the card brands: their lengths and leading characters, as one table
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "base/field.h"
#include "base/padded.h"

namespace tessera {

// The rules exclude one another, so a text has at most one brand.
enum class Brand : unsigned char { None, Amex, DinersClub, Discover, Jcb, MasterCard, Visa };

struct BrandPrefix {
  Text text;
  Brand unless = Brand::None;  // the prefix counts only when the text is not of this brand
};

struct BrandRule {
  Brand brand;
  Text name;                          // as every front end prints it
  std::array<std::size_t, 2> lengths; // 0 marks an unused slot
  std::array<BrandPrefix, 8> prefixes;
};

// Only the length of the whole text and its first characters are looked
// at; what follows the prefix need not be digits. Rows and prefixes are
// tried in this order and the first match answers.
inline constexpr BrandRule kBrandRules[] = {
    {Brand::Amex,       "American Express", {15},     {{{"34"}, {"37"}}}},
    {Brand::DinersClub, "Diners Club",      {14},     {{{"36"}, {"38"}, {"300"}, {"301"}, {"302"}, {"303"}, {"304"}, {"305"}}}},
    {Brand::Discover,   "Discover",         {16},     {{{"6011"}}}},
    {Brand::Jcb,        "JCB",              {15, 16}, {{{"1800"}, {"2131"}, {"3", Brand::Amex}}}},
    {Brand::MasterCard, "MasterCard",       {16},     {{{"51"}, {"52"}, {"53"}, {"54"}, {"55"}}}},
    {Brand::Visa,       "Visa",             {16, 13}, {{{"4"}}}},
};

// The rules read as code: every lookup the library uses is generated from
// this at compile time.
constexpr bool HasBrand(Text text, Brand brand);

constexpr bool Accepts(const BrandRule& rule, Text text) {
  if (std::find(rule.lengths.begin(), rule.lengths.end(), text.size()) == rule.lengths.end()) return false;
  for (const BrandPrefix& prefix : rule.prefixes) {
    if (prefix.text.empty() || !text.starts_with(prefix.text)) continue;
    if (prefix.unless == Brand::None || !HasBrand(text, prefix.unless)) return true;
  }
  return false;
}

constexpr bool HasBrand(Text text, Brand brand) {
  for (const BrandRule& rule : kBrandRules)
    if (rule.brand == brand) return Accepts(rule, text);
  return false;
}

constexpr Brand RuleBrandOf(Text text) {
  for (const BrandRule& rule : kBrandRules)
    if (Accepts(rule, text)) return rule.brand;
  return Brand::None;
}

inline constexpr std::size_t kLongestCard = [] {
  std::size_t longest = 0;
  for (const BrandRule& rule : kBrandRules) longest = std::max({longest, rule.lengths[0], rule.lengths[1]});
  return longest;
}();

inline constexpr std::size_t kLongestBrandPrefix = [] {
  std::size_t longest = 0;
  for (const BrandRule& rule : kBrandRules)
    for (const BrandPrefix& prefix : rule.prefixes) longest = std::max(longest, prefix.text.size());
  return longest;
}();

// Brand::None and one per rule, for tables indexed by brand.
inline constexpr std::size_t kBrandCount = std::size(kBrandRules) + 1;

// BrandOf reads the first kLongestBrandPrefix characters of any text of an
// accepted length, so no rule may accept a text shorter than that; and
// BrandsOfPadded reads them of every text, which the padding covers.
static_assert(kLongestBrandPrefix <= kPadding);
static_assert([] {
  for (const BrandRule& rule : kBrandRules)
    for (std::size_t length : rule.lengths)
      if (length != 0 && length < kLongestBrandPrefix) return false;
  return true;
}());

// The same answer as RuleBrandOf, from a table generated from the rules.
Brand BrandOf(Text text);

// BrandOf of each of n texts, with no call per text.
void BrandsOfPadded(const PaddedText* texts, std::size_t n, Brand* brands);

// Any of the six brands.
inline bool CheckOrganization(Text text) { return BrandOf(text) != Brand::None; }

// "none" for Brand::None.
constexpr Text BrandName(Brand brand) {
  for (const BrandRule& rule : kBrandRules)
    if (rule.brand == brand) return rule.name;
  return "none";
}

}  // namespace tessera
