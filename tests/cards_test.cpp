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

// The current table: each range's ends, and the numbers just outside them,
// at the lengths its brand takes and one beside them. The seed table's
// answer stands beside, as the checks keep giving it.
TEST(Brands, CurrentTableRangesAndLengths) {
  struct Row {
    const char* text;
    Brand current;
    Brand seed;
    const char* why;
  } const rows[] = {
      {"2221000000000000", Brand::MasterCard, Brand::None, "2-series Mastercard: the low end"},
      {"2720999999999999", Brand::MasterCard, Brand::None, "2-series Mastercard: the high end"},
      {"2220999999999999", Brand::None, Brand::None, "below 2221"},
      {"2721000000000000", Brand::None, Brand::None, "above 2720"},
      {"22210000000000000", Brand::None, Brand::None, "2-series Mastercard takes 16 digits only"},
      {"5500000000000000", Brand::MasterCard, Brand::MasterCard, "51-55"},
      {"5600000000000000", Brand::None, Brand::None, "56 is no brand's"},
      {"2200000000000000", Brand::Mir, Brand::None, "Mir 2200"},
      {"2204000000000000000", Brand::Mir, Brand::None, "Mir 2204, 19 digits"},
      {"2205000000000000", Brand::None, Brand::None, "2205 is past Mir"},
      {"6011000000000000000", Brand::Discover, Brand::None, "Discover 6011, 19 digits"},
      {"6011000000000000", Brand::Discover, Brand::Discover, "Discover 6011, 16 digits"},
      {"6440000000000000", Brand::Discover, Brand::None, "Discover 644"},
      {"6430000000000000", Brand::None, Brand::None, "643 is no brand's"},
      {"6500000000000000", Brand::Discover, Brand::None, "Discover 65"},
      {"6221260000000000", Brand::Discover, Brand::None, "622126: co-branded, Discover's row comes first"},
      {"6221250000000000", Brand::UnionPay, Brand::None, "622125: UnionPay's 62"},
      {"6229250000000000", Brand::Discover, Brand::None, "622925: the high end"},
      {"6229260000000000", Brand::UnionPay, Brand::None, "622926: UnionPay again"},
      {"6200000000000000000", Brand::UnionPay, Brand::None, "UnionPay, 19 digits"},
      {"620000000000000", Brand::None, Brand::None, "UnionPay takes no 15 digits"},
      {"8100000000000000", Brand::UnionPay, Brand::None, "UnionPay 81"},
      {"3528000000000000", Brand::Jcb, Brand::Jcb, "JCB's low end"},
      {"3527000000000000", Brand::None, Brand::Jcb, "3527: no JCB any more"},
      {"3589000000000000000", Brand::Jcb, Brand::None, "JCB's high end, 19 digits"},
      {"3590000000000000", Brand::None, Brand::Jcb, "3590: past JCB"},
      {"356938035643809", Brand::None, Brand::Jcb, "15 digits starting 35, an IMEI's shape"},
      {"36000000000000", Brand::DinersClub, Brand::DinersClub, "Diners Club 36, 14 digits"},
      {"3600000000000000", Brand::DinersClub, Brand::Jcb, "Diners Club 36, 16 digits"},
      {"3000000000000000", Brand::DinersClub, Brand::Jcb, "Diners Club 300"},
      {"3060000000000000", Brand::None, Brand::Jcb, "306 is no brand's"},
      {"3095000000000000", Brand::DinersClub, Brand::Jcb, "Diners Club 3095"},
      {"3900000000000000", Brand::DinersClub, Brand::Jcb, "Diners Club 39"},
      {"340000000000000", Brand::Amex, Brand::Amex, "American Express"},
      {"3400000000000000", Brand::None, Brand::Jcb, "34 with 16 digits"},
      {"6759000000000", Brand::Maestro, Brand::None, "Maestro, 13 digits"},
      {"675900000000", Brand::None, Brand::None, "Maestro's 12 digits are left out"},
      {"6763000000000000", Brand::Maestro, Brand::None, "Maestro 6761-6763"},
      {"6764000000000000", Brand::None, Brand::None, "6764 is no brand's"},
      {"6767700000000000", Brand::Maestro, Brand::None, "Maestro 676770"},
      {"6767710000000000", Brand::None, Brand::None, "676771 is no brand's"},
      {"6000000000000000", Brand::RuPay, Brand::None, "RuPay 60"},
      {"60000000000000000", Brand::None, Brand::None, "RuPay takes 16 digits only"},
      {"5080000000000000", Brand::RuPay, Brand::None, "RuPay 508"},
      {"4000000000000000000", Brand::Visa, Brand::None, "Visa, 19 digits"},
      {"40000000000000000", Brand::None, Brand::None, "Visa takes no 17 digits"},
      {"4:::::::::::::::", Brand::Visa, Brand::Visa, "only the first character is looked at"},
      {"2:21000000000000", Brand::None, Brand::None, "a range wants digits in all its places"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.text << ": " << row.why);
    EXPECT_EQ(BrandName(BrandOf(row.text, BrandTable::Current), BrandTable::Current),
              BrandName(row.current, BrandTable::Current));
    EXPECT_EQ(RuleBrandOf(row.text, BrandTable::Current), row.current);
    EXPECT_EQ(BrandOf(row.text), row.seed);
    EXPECT_EQ(BrandOf(row.text, BrandTable::Seed), row.seed);
  }
  EXPECT_EQ(BrandName(Brand::MasterCard, BrandTable::Current), "Mastercard");
  EXPECT_EQ(BrandName(Brand::MasterCard), "MasterCard") << "the seed's spelling stays";
  EXPECT_EQ(BrandName(Brand::UnionPay, BrandTable::Seed), "none");
}

// The first six and last four digits stay, separators stay in place.
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
