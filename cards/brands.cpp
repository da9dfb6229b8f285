// brands.cpp -- the brand of a card number, looked up in a table generated from the rules
//
// A brand depends only on the length and the first kLongestBrandPrefix
// characters, and of each of those only on which prefix character it is,
// if any. So each is mapped to a small class number, and the classes index
// one table filled at compile time from the rules: five independent loads
// and no branch on the data, instead of walking the rules.
#include "cards/brands.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessera {
namespace {

constexpr std::size_t kPositions = kLongestBrandPrefix;

// The classes of the bytes at one position of the prefixes: class 0 is
// "any other byte"; class i > 0 is the byte members[i - 1].
struct PositionClasses {
  std::array<uint8_t, 256> of{};
  std::array<unsigned char, 256> members{};
  std::size_t count = 1;
  unsigned char other = 0;  // a byte of class 0
};

constexpr std::array<PositionClasses, kPositions> MakePositionClasses() {
  std::array<PositionClasses, kPositions> classes{};
  for (std::size_t at = 0; at < kPositions; ++at) {
    PositionClasses& c = classes[at];
    for (const BrandRule& rule : kBrandRules)
      for (const BrandPrefix& prefix : rule.prefixes) {
        if (prefix.text.size() <= at) continue;
        const auto byte = static_cast<unsigned char>(prefix.text[at]);
        if (c.of[byte] != 0) continue;
        c.members[c.count - 1] = byte;
        c.of[byte] = static_cast<uint8_t>(c.count++);
      }
    while (c.of[c.other] != 0) ++c.other;
  }
  return classes;
}

// Lengths: class 0 for every length no rule accepts.
struct LengthClasses {
  std::array<uint8_t, kLongestCard + 2> of{};
  std::size_t count = 1;
};

constexpr LengthClasses MakeLengthClasses() {
  LengthClasses c;
  for (std::size_t length = 1; length <= kLongestCard; ++length)
    for (const BrandRule& rule : kBrandRules)
      if ((rule.lengths[0] == length || rule.lengths[1] == length) && c.of[length] == 0)
        c.of[length] = static_cast<uint8_t>(c.count++);
  return c;
}

constexpr auto kPositionClasses = MakePositionClasses();
constexpr auto kLengthClasses = MakeLengthClasses();

constexpr std::size_t kCells = [] {
  std::size_t cells = kLengthClasses.count;
  for (const PositionClasses& c : kPositionClasses) cells *= c.count;
  return cells;
}();

constexpr std::size_t CellOf(std::size_t length_class, const std::array<std::size_t, kPositions>& byte_class) {
  std::size_t cell = length_class;
  for (std::size_t at = 0; at < kPositions; ++at) cell = cell * kPositionClasses[at].count + byte_class[at];
  return cell;
}

// A text of the given length whose first characters have the given classes.
constexpr std::array<char, kLongestCard> Representative(std::size_t length,
                                                        const std::array<std::size_t, kPositions>& byte_class) {
  std::array<char, kLongestCard> text{};
  for (std::size_t at = 0; at < length; ++at) {
    const PositionClasses& c = kPositionClasses[at < kPositions ? at : 0];
    const std::size_t k = at < kPositions ? byte_class[at] : 0;
    text[at] = static_cast<char>(k == 0 ? c.other : c.members[k - 1]);
  }
  return text;
}

// Each prefix of each rule claims every cell whose first characters are
// that prefix, unless an earlier rule claimed it: the first match answers.
// A prefix with an `unless` asks the rules about the cell's representative.
constexpr std::array<Brand, kCells> MakeBrandTable() {
  std::array<Brand, kCells> table{};
  for (const BrandRule& rule : kBrandRules)
    for (std::size_t length : rule.lengths) {
      if (length == 0) continue;
      for (const BrandPrefix& prefix : rule.prefixes) {
        if (prefix.text.empty()) continue;
        std::array<std::size_t, kPositions> byte_class{};
        std::size_t free_cells = 1;
        for (std::size_t at = 0; at < kPositions; ++at) {
          if (at < prefix.text.size()) byte_class[at] = kPositionClasses[at].of[static_cast<unsigned char>(prefix.text[at])];
          else free_cells *= kPositionClasses[at].count;
        }
        for (std::size_t n = 0; n < free_cells; ++n) {
          std::size_t rest = n;
          for (std::size_t at = kPositions; at-- > prefix.text.size();) {
            byte_class[at] = rest % kPositionClasses[at].count;
            rest /= kPositionClasses[at].count;
          }
          Brand& cell = table[CellOf(kLengthClasses.of[length], byte_class)];
          if (cell != Brand::None) continue;
          if (prefix.unless != Brand::None) {
            const auto text = Representative(length, byte_class);
            if (HasBrand(Text(text.data(), length), prefix.unless)) continue;
          }
          cell = rule.brand;
        }
      }
    }
  return table;
}

constexpr auto kBrandTable = MakeBrandTable();

// CellOf as a sum: each class already multiplied by its place value, so a
// cell takes five loads and four additions. Cells of lengths no rule
// accepts hold Brand::None, so a padded text needs no test of its length.
struct PlaceValues {
  std::array<uint16_t, kLongestCard + 2> length{};
  std::array<std::array<uint16_t, 256>, kPositions> byte{};
};

static_assert(kCells <= 0x10000, "cells are numbered in 16 bits");

constexpr PlaceValues MakePlaceValues() {
  PlaceValues v;
  const std::array<std::size_t, kPositions> none{};
  for (std::size_t length = 0; length < v.length.size(); ++length)
    v.length[length] = static_cast<uint16_t>(CellOf(kLengthClasses.of[length], none));
  for (std::size_t at = 0; at < kPositions; ++at)
    for (std::size_t byte = 0; byte < 256; ++byte) {
      std::array<std::size_t, kPositions> only{};
      only[at] = kPositionClasses[at].of[byte];
      v.byte[at][byte] = static_cast<uint16_t>(CellOf(0, only));
    }
  return v;
}

constexpr auto kPlaceValues = MakePlaceValues();

// Five independent loads: `p` must hold kPositions readable bytes.
inline Brand LookUp(std::size_t length, const unsigned char* p) {
  std::size_t cell = kPlaceValues.length[std::min(length, kLongestCard + 1)];
  for (std::size_t at = 0; at < kPositions; ++at) cell += kPlaceValues.byte[at][p[at]];
  return kBrandTable[cell];
}

}  // namespace

// A text shorter than the rules' prefixes has no brand, and may not be read that far.
Brand BrandOf(Text text) {
  if (kLengthClasses.of[std::min(text.size(), kLongestCard + 1)] == 0) return Brand::None;
  return LookUp(text.size(), reinterpret_cast<const unsigned char*>(text.data()));
}

void BrandsOfPadded(const PaddedText* texts, std::size_t n, Brand* brands) {
  for (std::size_t i = 0; i < n; ++i) brands[i] = LookUp(texts[i].size(), texts[i].bytes());
}

}  // namespace tessera
