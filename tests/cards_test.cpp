// cards_test.cpp -- every card case through every card check, C and C++
#include <gtest/gtest.h>

#include <span>

#include "frame/checks.h"
#include "tessera.h"
#include "tests/cases/cards.h"
#include "tests/exact_text.h"

namespace tessera {
namespace {

using cases::CardBrand;
using cases::CardCase;

int32_t Truth(bool yes) { return yes ? -1 : 0; }

void ExpectCase(const CardCase& row) {
  SCOPED_TRACE(testing::Message() << '"' << row.text << "\": " << row.why);
  const fixtures::ExactText text(row.text);
  const char* p = text.c_str();
  EXPECT_EQ(::IsAmex(p), Truth(row.brand == CardBrand::Amex));
  EXPECT_EQ(::IsDC(p), Truth(row.brand == CardBrand::DinersClub));
  EXPECT_EQ(::IsDisc(p), Truth(row.brand == CardBrand::Discover));
  EXPECT_EQ(::IsJCB(p), Truth(row.brand == CardBrand::Jcb));
  EXPECT_EQ(::IsMC(p), Truth(row.brand == CardBrand::MasterCard));
  EXPECT_EQ(::IsVisa(p), Truth(row.brand == CardBrand::Visa));
  EXPECT_EQ(::CheckOrganization(p), Truth(row.brand != CardBrand::None));
  EXPECT_EQ(::CheckNumber(p), Truth(row.luhn));
  EXPECT_EQ(::CheckCard(p), Truth(row.brand != CardBrand::None && row.luhn));
  EXPECT_EQ(BrandName(BrandOf(row.text)), cases::NameOf(row.brand));
}

void ExpectAll(std::span<const CardCase> rows) {
  for (const CardCase& row : rows) ExpectCase(row);
}

TEST(Brands, LengthBoundaries) { ExpectAll(cases::kBrandLengthCases); }
TEST(Brands, PrefixBoundaries) { ExpectAll(cases::kBrandPrefixCases); }
TEST(Luhn, DoublingAndPositions) { ExpectAll(cases::kLuhnCases); }
TEST(Card, TestNumbersOfEveryBrand) { ExpectAll(cases::kCardCases); }

// The sum is signed 16-bit and wraps; a run of 9s sums to 9 per character
// whichever digits are doubled, so the expected answers follow by hand.
TEST(Luhn, SixteenBitSumWraps) {
  struct Row {
    std::size_t nines;
    bool passes;
    const char* why;
  } const rows[] = {
      {3640, true, "32760: no wrap yet"},
      {3641, false, "32769 wraps to -32767"},
      {3644, true, "32796 wraps to -32740, a multiple of 10"},
      {3650, false, "32850 is a multiple of 10 but wraps to -32686"},
      {7284, true, "65556 wraps to 20"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    const fixtures::ExactText text(std::string(row.nines, '9'));
    EXPECT_EQ(::CheckNumber(text.c_str()), Truth(row.passes));
    EXPECT_EQ(::CheckCard(text.c_str()), 0);
  }
}

TEST(Frame, NullIsTheEmptyText) {
  EXPECT_EQ(::CheckNumber(nullptr), -1);
  EXPECT_EQ(::CheckCard(nullptr), 0);
  EXPECT_EQ(::CheckOrganization(nullptr), 0);
  for (auto* check : {::IsAmex, ::IsDC, ::IsDisc, ::IsJCB, ::IsMC, ::IsVisa}) EXPECT_EQ(check(nullptr), 0);
}

}  // namespace
}  // namespace tessera
