// cards_test.cpp -- every card case through every card check, C and C++
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

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
  // The same text arriving one character at a time, known by its first characters.
  const Text whole(row.text);
  LuhnStream sum;
  for (std::size_t at = 0; at < whole.size(); ++at) sum.Add(whole.substr(at, 1));
  const CardVerdict streamed = JudgeCardStream(whole.substr(0, kLongestBrandPrefix), sum);
  EXPECT_EQ(BrandName(streamed.brand), cases::NameOf(row.brand));
  EXPECT_EQ(streamed.checksum, row.luhn);
}

// The whole table judged as one batch, each number in a buffer of its own
// followed by padding that is not zeros, as the tool's read buffer is.
void ExpectBatch(std::span<const CardCase> rows) {
  std::vector<PaddedCopy> buffers;
  std::vector<PaddedText> numbers;
  for (const CardCase& row : rows) buffers.emplace_back(row.text, '5');
  for (const PaddedCopy& buffer : buffers) numbers.push_back(buffer.text());
  std::vector<CardVerdict> verdicts(rows.size());
  JudgeCardsPadded(numbers.data(), numbers.size(), verdicts.data());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "in a batch: \"" << rows[i].text << "\": " << rows[i].why);
    EXPECT_EQ(BrandName(verdicts[i].brand), cases::NameOf(rows[i].brand));
    EXPECT_EQ(verdicts[i].checksum, rows[i].luhn);
  }
}

void ExpectAll(std::span<const CardCase> rows) {
  for (const CardCase& row : rows) ExpectCase(row);
  ExpectBatch(rows);
}

TEST(Brands, LengthBoundaries) { ExpectAll(cases::kBrandLengthCases); }
TEST(Brands, PrefixBoundaries) { ExpectAll(cases::kBrandPrefixCases); }
TEST(Luhn, DoublingAndPositions) { ExpectAll(cases::kLuhnCases); }
TEST(Card, TestNumbersOfEveryBrand) { ExpectAll(cases::kCardCases); }

TEST(Mask, FirstSixAndLastFourDigits) {
  for (const cases::MaskCase& row : cases::kMaskCases) EXPECT_EQ(MaskedCardNumber(row.number), row.masked) << row.why;
}

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

// Texts longer than any card: no brand, whatever they begin with; the
// checksum as CheckNumber answers for the whole text.
TEST(Card, StreamedTextsLongerThanAnyCard) {
  struct Row {
    std::string text;
    bool luhn;
    const char* why;
  } const rows[] = {
      {"4111111111111111" + std::string(1000, '0'), true, "a Visa number followed by zeros keeps its sum 30"},
      {"41111111111111110", false, "17 characters: one zero shifts the doubling, sum 27"},
      {"411111111111111100", true, "18 characters: two zeros keep it, sum 30"},
      {"4" + std::string(40000, '9'), false, "a sum past 32,767 wraps"},
  };
  for (const Row& row : rows) {
    LuhnStream sum;
    for (std::size_t at = 0; at < row.text.size(); at += 7) sum.Add(Text(row.text).substr(at, 7));
    const CardVerdict v = JudgeCardStream(Text(row.text).substr(0, kLongestCard), sum);
    EXPECT_EQ(v.brand, Brand::None) << row.why;
    EXPECT_EQ(v.checksum, CheckNumber(row.text)) << row.why;
    EXPECT_EQ(v.checksum, row.luhn) << row.why;
  }
}

}  // namespace
}  // namespace tessera
