// paths_test.cpp -- the fast paths give the plain paths' answers
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "bench/corpus.h"
#include "cards/brands.h"
#include "cards/luhn.h"
#include "iddoc/gpa.h"
#include "tests/cases/cards.h"
#include "tests/cases/gpa.h"

namespace tessera {
namespace {

// Texts of every length up to 300 (both sides of every vector width), of
// digits, letters and high bytes mixed by a fixed-seed generator.
TEST(Paths, LuhnSumAgreesAtEveryLength) {
  bench::Random random(7);
  const std::string alphabet = std::string("0123456789") + "0123456789 -A\xff\x80";
  for (std::size_t length = 0; length <= 300; ++length) {
    for (int round = 0; round < 20; ++round) {
      std::string text;
      for (std::size_t i = 0; i < length; ++i) text += alphabet[random.Below(static_cast<uint32_t>(alphabet.size()))];
      ASSERT_EQ(LuhnSum(text), PlainLuhnSum(text)) << "length " << length << ": " << text;
    }
  }
  for (std::size_t length : {32767u, 65536u, 1u << 20}) {
    const std::string nines(length, '9');
    EXPECT_EQ(LuhnSum(nines), PlainLuhnSum(nines)) << length;
  }
}

TEST(Paths, BrandSwitchAgreesWithTheTable) {
  for (const auto& table : {std::span<const cases::CardCase>(cases::kBrandLengthCases),
                            std::span<const cases::CardCase>(cases::kBrandPrefixCases),
                            std::span<const cases::CardCase>(cases::kCardCases)}) {
    for (const auto& row : table) EXPECT_EQ(BrandOf(row.text), PlainBrandOf(row.text)) << row.text;
  }
  // Every two-character start, at every length a brand takes and around it.
  for (std::size_t length = 0; length <= 18; ++length) {
    for (int first = 0; first < 256; ++first) {
      for (char second : {'0', '1', '4', '5', '6', '7', '8', 'A'}) {
        std::string text(length, '0');
        if (length > 0) text[0] = static_cast<char>(first);
        if (length > 1) text[1] = second;
        ASSERT_EQ(BrandOf(text), PlainBrandOf(text)) << "length " << length << " first " << first << second;
      }
    }
  }
}

TEST(Paths, GpaVectorCheckAgrees) {
  for (const std::string& number : bench::GpaNumbers(20000)) ASSERT_EQ(CheckGPANo(number), PlainCheckGPANo(number));
  for (const auto& row : cases::kGpaLayoutCases) EXPECT_EQ(CheckGPANo(row.text), PlainCheckGPANo(row.text));
}

}  // namespace
}  // namespace tessera
