// brands.h -- the card brands: their lengths and leading digits, as two tables of rows
//
// The seed table is what the twelve exports, the DLL and `tessera card`
// answer by default. The current table holds the ranges the brands publish
// today (sources in docs/scan.md); `tessera scan` finds numbers by it. Both
// are rows of the same shape, and every lookup is generated from the rows.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "base/field.h"
#include "base/padded.h"

namespace tessera {

// Within one table the rules exclude one another, so a text has at most
// one brand. The first seven are the seed table's, in its order.
enum class Brand : unsigned char { None, Amex, DinersClub, Discover, Jcb, MasterCard, Visa, UnionPay, Maestro, Mir, RuPay };

// Every value of Brand, for tables indexed by brand whatever the table.
inline constexpr std::size_t kBrandKinds = 11;

struct BrandPrefix {
  // Leading characters ("6011"), or a range of leading numbers of one
  // length ("2221-2720"): the text's first characters are that many digits
  // and their number lies in the range.
  Text text;
  Brand unless = Brand::None;  // the prefix counts only when the text is not of this brand
};

struct BrandRule {
  Brand brand;
  Text name;                           // as every front end prints it
  std::array<std::size_t, 8> lengths;  // 0 marks an unused slot
  std::array<BrandPrefix, 10> prefixes;
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

// The ranges and lengths the brands publish today. Where two brands share
// a range (co-branded cards), the earlier row names it: Discover's
// 622126-622925 lies inside UnionPay's 62, and RuPay's co-branded 65, 81,
// 353 and 356 are found as Discover, UnionPay and JCB. Maestro's 12-digit
// numbers are left out: the finder looks at 13 digits and more.
inline constexpr BrandRule kCurrentBrandRules[] = {
    {Brand::Amex,       "American Express", {15},                     {{{"34"}, {"37"}}}},
    {Brand::DinersClub, "Diners Club",      {14, 16, 17, 18, 19},     {{{"300-305"}, {"3095"}, {"36"}, {"38-39"}}}},
    {Brand::Jcb,        "JCB",              {16, 17, 18, 19},         {{{"3528-3589"}}}},
    {Brand::Discover,   "Discover",         {16, 17, 18, 19},         {{{"6011"}, {"622126-622925"}, {"644-649"}, {"65"}}}},
    {Brand::UnionPay,   "UnionPay",         {16, 17, 18, 19},         {{{"62"}, {"81"}}}},
    {Brand::Maestro,    "Maestro",          {13, 14, 15, 16, 17, 18, 19},
                                            {{{"5018"}, {"5020"}, {"5038"}, {"5893"}, {"6304"}, {"6759"}, {"6761-6763"}, {"676770"}, {"676774"}}}},
    {Brand::Mir,        "Mir",              {16, 17, 18, 19},         {{{"2200-2204"}}}},
    {Brand::RuPay,      "RuPay",            {16},                     {{{"60"}, {"82"}, {"508"}}}},
    {Brand::MasterCard, "Mastercard",       {16},                     {{{"2221-2720"}, {"51-55"}}}},
    {Brand::Visa,       "Visa",             {13, 16, 19},             {{{"4"}}}},
};

enum class BrandTable : unsigned char { Seed, Current };

constexpr std::span<const BrandRule> RulesOf(BrandTable table) {
  if (table == BrandTable::Current) return kCurrentBrandRules;
  return kBrandRules;
}

// The rules read as code: every lookup the library uses is generated from
// them at compile time, and the tests hold the lookups to these.
constexpr bool IsRange(Text prefix) { return prefix.find('-') != Text::npos; }

// How many leading characters a prefix looks at.
constexpr std::size_t PrefixSize(Text prefix) { return IsRange(prefix) ? prefix.find('-') : prefix.size(); }

constexpr bool PrefixMatches(Text prefix, Text text) {
  if (!IsRange(prefix)) return text.starts_with(prefix);
  const std::size_t n = PrefixSize(prefix);
  if (text.size() < n) return false;
  const Text head = text.substr(0, n);
  if (!std::all_of(head.begin(), head.end(), IsDigit)) return false;
  // Digit strings of one length compare as their numbers do.
  return prefix.substr(0, n) <= head && head <= prefix.substr(n + 1);
}

constexpr bool AcceptsLength(const BrandRule& rule, std::size_t length) {
  return length != 0 && std::find(rule.lengths.begin(), rule.lengths.end(), length) != rule.lengths.end();
}

constexpr bool HasBrand(Text text, Brand brand, std::span<const BrandRule> rules);

constexpr bool Accepts(const BrandRule& rule, Text text, std::span<const BrandRule> rules) {
  if (!AcceptsLength(rule, text.size())) return false;
  for (const BrandPrefix& prefix : rule.prefixes) {
    if (prefix.text.empty() || !PrefixMatches(prefix.text, text)) continue;
    if (prefix.unless == Brand::None || !HasBrand(text, prefix.unless, rules)) return true;
  }
  return false;
}

constexpr bool HasBrand(Text text, Brand brand, std::span<const BrandRule> rules) {
  for (const BrandRule& rule : rules)
    if (rule.brand == brand) return Accepts(rule, text, rules);
  return false;
}

constexpr bool Accepts(const BrandRule& rule, Text text) { return Accepts(rule, text, kBrandRules); }
constexpr bool HasBrand(Text text, Brand brand) { return HasBrand(text, brand, kBrandRules); }

constexpr Brand RuleBrandOf(Text text, BrandTable table = BrandTable::Seed) {
  for (const BrandRule& rule : RulesOf(table))
    if (Accepts(rule, text, RulesOf(table))) return rule.brand;
  return Brand::None;
}

constexpr std::size_t LongestCard(BrandTable table) {
  std::size_t longest = 0;
  for (const BrandRule& rule : RulesOf(table))
    for (std::size_t length : rule.lengths) longest = std::max(longest, length);
  return longest;
}

constexpr std::size_t ShortestCard(BrandTable table) {
  std::size_t shortest = LongestCard(table);
  for (const BrandRule& rule : RulesOf(table))
    for (std::size_t length : rule.lengths)
      if (length != 0) shortest = std::min(shortest, length);
  return shortest;
}

constexpr std::size_t LongestBrandPrefix(BrandTable table) {
  std::size_t longest = 0;
  for (const BrandRule& rule : RulesOf(table))
    for (const BrandPrefix& prefix : rule.prefixes) longest = std::max(longest, PrefixSize(prefix.text));
  return longest;
}

inline constexpr std::size_t kLongestCard = LongestCard(BrandTable::Seed);
inline constexpr std::size_t kLongestBrandPrefix = LongestBrandPrefix(BrandTable::Seed);

// Brand::None and one per rule of the seed table, for tables indexed by its brands.
inline constexpr std::size_t kBrandCount = std::size(kBrandRules) + 1;

// BrandOf reads the first LongestBrandPrefix characters of any text of an
// accepted length, so no rule may accept a text shorter than that; and
// BrandsOfPadded reads them of every text, which the padding covers.
static_assert(kLongestBrandPrefix <= kPadding);
static_assert(ShortestCard(BrandTable::Seed) >= LongestBrandPrefix(BrandTable::Seed));
static_assert(ShortestCard(BrandTable::Current) >= LongestBrandPrefix(BrandTable::Current));

// The same answer as RuleBrandOf, from tables generated from the rules.
Brand BrandOf(Text text);
Brand BrandOf(Text text, BrandTable table);

// BrandOf of each of n texts, with no call per text.
void BrandsOfPadded(const PaddedText* texts, std::size_t n, Brand* brands);

// Any of the six brands.
inline bool CheckOrganization(Text text) { return BrandOf(text) != Brand::None; }

// As the table spells it; "none" for Brand::None and for a brand the table
// does not have.
constexpr Text BrandName(Brand brand, BrandTable table) {
  for (const BrandRule& rule : RulesOf(table))
    if (rule.brand == brand) return rule.name;
  return "none";
}

// The seed table's spelling, and the current table's for its own brands.
constexpr Text BrandName(Brand brand) {
  const Text seed = BrandName(brand, BrandTable::Seed);
  return seed != "none" ? seed : BrandName(brand, BrandTable::Current);
}

}  // namespace tessera
