// scan_test.cpp -- card numbers found inside text: the rule clause by clause, block boundaries, vector forms
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "cards/scan.h"
#include "cards/scan_simd.h"
#include "tests/isas.h"
#include "cards/scan_skip.h"
#include "cards/scan_judge.h"
#include "tests/scan_reference.h"

namespace tessera {
namespace {

struct Found {
  uint64_t line, column, offset;
  const char* number;
  const char* brand;
  const char* judged = "";  // under the current rule: reason, then kept=, track=, test, key=
};

struct ScanCase {
  std::string text;
  std::vector<Found> found;
  const char* why;
};

using Rows = std::vector<ScanCase>;

constexpr ScanRule kCurrent{};
constexpr ScanRule kSeedLuhnOnly{BrandTable::Seed, true};
constexpr ScanRule kCurrentLuhnOnly{BrandTable::Current, true};

std::string Judged(FindingReason reason, KeptBack kept, unsigned track, bool test, Text key) {
  std::string out(ReasonName(reason));
  if (kept != KeptBack::None) out += " kept=" + std::string(KeptName(kept));
  if (track != 0) out += " track=" + std::to_string(track);
  if (test) out += " test";
  if (!key.empty()) out += " key=" + std::string(key);
  return out;
}

std::string Where(uint64_t line, uint64_t column, uint64_t offset) {
  return std::to_string(line) + ":" + std::to_string(column) + " @" + std::to_string(offset) + " ";
}

// The seed rule has no judgement to show.
std::string Describe(const CardFinding& f, ScanRule rule) {
  std::string out = Where(f.line, f.column, f.offset) + std::string(f.number()) + " " +
                    std::string(FindingBrandName(f.brand, rule.brands));
  if (!rule.seed()) out += " " + Judged(f.reason, f.kept, f.track, f.test, f.key_name());
  return out;
}

std::string Describe(const Found& f, ScanRule rule) {
  return Where(f.line, f.column, f.offset) + f.number + " " + f.brand + (rule.seed() ? "" : std::string(" ") + f.judged);
}

std::string Describe(const reference::Finding& f, ScanRule rule) {
  const Judgement& j = f.judgement;
  std::string out = Where(f.line, f.column, f.offset) + f.number + " " + std::string(FindingBrandName(f.brand, rule.brands));
  if (!rule.seed()) out += " " + Judged(j.reason, j.kept, j.track, j.test, f.key);
  return out;
}

template <class T>
std::vector<std::string> DescribeAll(std::span<const T> findings, ScanRule rule) {
  std::vector<std::string> lines;
  for (const T& f : findings) lines.push_back(Describe(f, rule));
  return lines;
}

// The findings of `text` fed in blocks that end at the given offsets, each
// block copied into a buffer of exactly its size so that a read past it is
// caught by the sanitizers.
std::vector<std::string> ScanInBlocks(const std::string& text, ScanRule rule, const std::vector<std::size_t>& cuts,
                                      bool padded = false) {
  CardScanner scanner(rule);
  std::vector<std::string> lines;
  auto take = [&](std::span<const CardFinding> found) {
    for (const CardFinding& f : found) lines.push_back(Describe(f, rule));
  };
  std::size_t from = 0;
  std::vector<std::size_t> ends = cuts;
  ends.push_back(text.size());
  for (std::size_t to : ends) {
    if (padded) {
      std::string block = text.substr(from, to - from);
      block.append(kPadding, '7');
      take(scanner.ScanPadded(PaddedText(block.data(), to - from)));
    } else {
      std::vector<char> block(text.begin() + static_cast<std::ptrdiff_t>(from), text.begin() + static_cast<std::ptrdiff_t>(to));
      take(scanner.Scan(Text(block.data(), block.size())));
    }
    from = to;
  }
  take(scanner.Finish());
  return lines;
}

// Every row through the whole-text scan, padded, every split into two
// blocks (so each number straddles a block end at every offset), one-byte
// blocks, and the plain reference scanner.
void ExpectRows(const Rows& rows, ScanRule rule) {
  for (const ScanCase& row : rows) {
    SCOPED_TRACE(row.why);
    std::vector<std::string> expected;
    for (const Found& f : row.found) expected.push_back(Describe(f, rule));
    EXPECT_EQ(DescribeAll(std::span<const CardFinding>(FindCards(row.text, rule)), rule), expected);
    EXPECT_EQ(ScanInBlocks(row.text, rule, {}, true), expected);
    const auto ref = reference::FindCards(row.text, rule);
    EXPECT_EQ(DescribeAll(std::span<const reference::Finding>(ref), rule), expected) << "the reference scanner";
    for (std::size_t cut = 0; cut <= row.text.size(); ++cut) {
      SCOPED_TRACE("block ends at " + std::to_string(cut));
      EXPECT_EQ(ScanInBlocks(row.text, rule, {cut}), expected);
    }
    std::vector<std::size_t> every_byte;
    for (std::size_t cut = 1; cut < row.text.size(); ++cut) every_byte.push_back(cut);
    EXPECT_EQ(ScanInBlocks(row.text, rule, every_byte), expected) << "one byte at a time";
  }
}

std::string Bytes(const char* text, std::size_t n) { return std::string(text, n); }

TEST(SeedScan, GroupsAndSeparators) {
  ExpectRows({
      {"card=4111111111111111;", {{1, 6, 5, "4111111111111111", "Visa"}}, "a group between other bytes"},
      {"4111 1111 1111 1111", {{1, 1, 0, "4111 1111 1111 1111", "Visa"}}, "groups joined by single spaces"},
      {"4111-1111-1111-1111", {{1, 1, 0, "4111-1111-1111-1111", "Visa"}}, "groups joined by hyphen-minus"},
      {"4111-1111 1111-1111", {{1, 1, 0, "4111-1111 1111-1111", "Visa"}}, "either separator at each join"},
      {"3782 822463 10005", {{1, 1, 0, "3782 822463 10005", "American Express"}}, "groups of any size"},
      {"4 111111111111111", {{1, 1, 0, "4 111111111111111", "Visa"}}, "one digit is a group"},
      {"4111.1111.1111.1111", {}, "a dot ends a group: four chains of four digits"},
      {"4111  1111 1111 1111", {}, "two spaces do not join"},
      {"4111 -1111-1111-1111", {}, "a space and a hyphen do not join"},
      {"4111\t1111\t1111\t1111", {}, "a tab is no separator"},
      {"4111_1111_1111_1111", {}, "an underscore is no separator"},
      {"4111\xe2\x80\x93" "1111\xe2\x80\x93" "1111\xe2\x80\x93" "1111", {}, "an en dash is no separator"},
      {"4111 1111\n1111 1111", {}, "a newline is no separator"},
      {"4111 1111 1111 1111\n", {{1, 1, 0, "4111 1111 1111 1111", "Visa"}}, "a newline ends the chain"},
      {"-4111111111111111-", {{1, 2, 1, "4111111111111111", "Visa"}}, "a separator with no group beyond it is no part"},
      {"4111 1111 1111 1111 ", {{1, 1, 0, "4111 1111 1111 1111", "Visa"}}, "a trailing space is no part"},
  }, kSeedRule);
}

TEST(SeedScan, LettersAndOtherBytesAroundNumbers) {
  ExpectRows({
      {"x4111111111111111y", {{1, 2, 1, "4111111111111111", "Visa"}}, "letters end a group without a space"},
      {"id:4111-1111-1111-1111,ok", {{1, 4, 3, "4111-1111-1111-1111", "Visa"}}, "punctuation around a dashed number"},
      {Bytes("\0" "4111111111111111" "\0", 18), {{1, 2, 1, "4111111111111111", "Visa"}}, "NUL bytes are other bytes"},
      {"\xff" "4111111111111111" "\x80", {{1, 2, 1, "4111111111111111", "Visa"}}, "high bytes are other bytes"},
      {"04111111111111111", {}, "a digit in front makes one group of 17"},
      {"41111111111111110", {}, "a digit behind makes one group of 17"},
      {"9941111111111111119", {}, "a 19-digit order number yields no card from its middle"},
      {"\xef\xbc\x94" "111111111111111", {}, "a fullwidth 4 is no digit: 15 digits remain"},
  }, kSeedRule);
}

TEST(SeedScan, LongestRunAndWhereTheSearchGoesOn) {
  ExpectRows({
      {"4111 1111 1111 1111 2024", {{1, 1, 0, "4111 1111 1111 1111", "Visa"}}, "the card and not the year"},
      {"4222222222222 006", {{1, 1, 0, "4222222222222 006", "Visa"}}, "13 digits qualify, 16 are longer and win"},
      {"4222222222222 007", {{1, 1, 0, "4222222222222", "Visa"}}, "16 digits fail the checksum: the 13 stand"},
      {"4222222222222 00", {{1, 1, 0, "4222222222222", "Visa"}}, "15 digits starting with 4 have no brand"},
      {"2024 4111 1111 1111 1111", {{1, 6, 5, "4111 1111 1111 1111", "Visa"}},
       "nothing from the year on qualifies: the search goes on with the next group"},
      {"4111111111111111 4111111111111111", {{1, 1, 0, "4111111111111111", "Visa"}, {1, 18, 17, "4111111111111111", "Visa"}},
       "after a finding the search goes on with the group after it"},
      {"1 2 3 4 5 6 7 8 9 0 4111111111111111", {{1, 21, 20, "4111111111111111", "Visa"}},
       "short groups in front, in the same chain"},
      {"4111 1111 1111 1111 1111 1111 1111 1111", {{1, 1, 0, "4111 1111 1111 1111", "Visa"}},
       "the second half is 16 ones: no brand"},
      {"5555 5555 5555 4444 4111 1111 1111 1111",
       {{1, 1, 0, "5555 5555 5555 4444", "MasterCard"}, {1, 21, 20, "4111 1111 1111 1111", "Visa"}},
       "two cards in one chain"},
      {"11111111111111111111 4111111111111111", {{1, 22, 21, "4111111111111111", "Visa"}},
       "a group longer than any card, then a joined card"},
  }, kSeedRule);
}

TEST(SeedScan, LengthsAndBrands) {
  ExpectRows({
      {"4222222222222", {{1, 1, 0, "4222222222222", "Visa"}}, "13 digits"},
      {"(4222222222222)", {{1, 2, 1, "4222222222222", "Visa"}}, "13 digits between brackets"},
      {"(4222 2222 22222)", {{1, 2, 1, "4222 2222 22222", "Visa"}}, "13 digits in three groups between brackets"},
      {"422222222222", {}, "12 digits"},
      {"42222222222222", {}, "14 digits starting with 4: no brand"},
      {"4111111111111111", {{1, 1, 0, "4111111111111111", "Visa"}}, "16 digits"},
      {"41111111111111113", {}, "17 digits pass Luhn, but no card is that long"},
      {"378282246310005", {{1, 1, 0, "378282246310005", "American Express"}}, "American Express"},
      {"30569309025904", {{1, 1, 0, "30569309025904", "Diners Club"}}, "Diners Club"},
      {"6011111111111117", {{1, 1, 0, "6011111111111117", "Discover"}}, "Discover"},
      {"3530111333300000", {{1, 1, 0, "3530111333300000", "JCB"}}, "JCB"},
      {"5555555555554444", {{1, 1, 0, "5555555555554444", "MasterCard"}}, "MasterCard"},
      {"4111111111111112", {}, "a brand, but the checksum fails"},
      {"1234567812345670", {}, "the checksum passes, but no brand"},
      {"2221000000000009", {}, "2-series MasterCard is not in the brand table"},
      {"0000000000000", {}, "13 zeros pass Luhn but have no brand"},
  }, kSeedRule);
}

TEST(SeedScan, LuhnOnly) {
  ExpectRows({
      {"2221000000000009", {{1, 1, 0, "2221000000000009", "unknown"}}, "2-series MasterCard"},
      {"4111111111111111", {{1, 1, 0, "4111111111111111", "Visa"}}, "a brand of the table keeps its name"},
      {"41111111111111113", {{1, 1, 0, "41111111111111113", "unknown"}}, "17 digits"},
      {"4111 1111 1111 1111 110", {{1, 1, 0, "4111 1111 1111 1111 110", "unknown"}}, "19 digits beat the 16 in them"},
      {"4111111111111111110 5", {{1, 1, 0, "4111111111111111110", "unknown"}}, "20 digits are too many"},
      {"41111111111111111100", {}, "one group of 20 digits"},
      {"0000000000000", {{1, 1, 0, "0000000000000", "unknown"}}, "13 zeros pass Luhn"},
      {"000000000000", {}, "12 zeros are too few"},
      {"4111111111111112", {}, "the checksum fails"},
      {"1234567812345670", {{1, 1, 0, "1234567812345670", "unknown"}}, "passes Luhn without a brand"},
  }, kSeedLuhnOnly);
}

TEST(SeedScan, LinesAndColumns) {
  ExpectRows({
      {"a\nb\n  4111111111111111", {{3, 3, 6, "4111111111111111", "Visa"}}, "line 3, two spaces in"},
      {"x\r\n4111111111111111", {{2, 1, 3, "4111111111111111", "Visa"}}, "lines count \\n; \\r is a byte of line 1"},
      {"4111111111111111\n\n5555555555554444",
       {{1, 1, 0, "4111111111111111", "Visa"}, {3, 1, 18, "5555555555554444", "MasterCard"}}, "an empty line between"},
      {"\n\n\n", {}, "newlines only"},
  }, kSeedRule);
}

// The current rule: the brand table of today, plain runs of digits.
TEST(Scan, TodaysBrandsInPlainDigits) {
  ExpectRows({
      {"4539148803436467", {{1, 1, 0, "4539148803436467", "Visa", "plain"}}, "Visa, 16 digits"},
      {"4500000000005", {{1, 1, 0, "4500000000005", "Visa", "plain"}}, "Visa, 13 digits"},
      {"4539148803436460003", {{1, 1, 0, "4539148803436460003", "Visa", "plain"}}, "Visa, 19 digits"},
      {"5397583029816274", {{1, 1, 0, "5397583029816274", "Mastercard", "plain"}}, "Mastercard 51-55"},
      {"2720981234567895", {{1, 1, 0, "2720981234567895", "Mastercard", "plain"}}, "2-series Mastercard"},
      {"374282194621233", {{1, 1, 0, "374282194621233", "American Express", "plain"}}, "American Express"},
      {"6011491273553623", {{1, 1, 0, "6011491273553623", "Discover", "plain"}}, "Discover 6011"},
      {"6445123498765437", {{1, 1, 0, "6445123498765437", "Discover", "plain"}}, "Discover 644-649"},
      {"6500318976543213", {{1, 1, 0, "6500318976543213", "Discover", "plain"}}, "Discover 65"},
      {"6221261234567897", {{1, 1, 0, "6221261234567897", "Discover", "plain"}}, "Discover's co-branded 622126"},
      {"3569991234567896", {{1, 1, 0, "3569991234567896", "JCB", "plain"}}, "JCB 3528-3589"},
      {"36123456789013", {{1, 1, 0, "36123456789013", "Diners Club", "plain"}}, "Diners Club 36, 14 digits"},
      {"3005123456789014", {{1, 1, 0, "3005123456789014", "Diners Club", "plain"}}, "Diners Club 300, 16 digits"},
      {"6210987654321018", {{1, 1, 0, "6210987654321018", "UnionPay", "plain"}}, "UnionPay 62"},
      {"6210987654321012346", {{1, 1, 0, "6210987654321012346", "UnionPay", "plain"}}, "UnionPay, 19 digits"},
      {"8171001234567893", {{1, 1, 0, "8171001234567893", "UnionPay", "plain"}}, "UnionPay 81"},
      {"6759123456789015", {{1, 1, 0, "6759123456789015", "Maestro", "plain"}}, "Maestro"},
      {"2200123456789019", {{1, 1, 0, "2200123456789019", "Mir", "plain"}}, "Mir"},
      {"6081234567890128", {{1, 1, 0, "6081234567890128", "RuPay", "plain"}}, "RuPay"},
      {"356938035643809", {}, "an IMEI: 15 digits starting 35 are no brand's today"},
      {"45391488034364675", {}, "Visa takes no 17 digits"},
      {"4539148803436468", {}, "the checksum fails"},
      {"x4539148803436467y", {{1, 2, 1, "4539148803436467", "Visa", "plain"}}, "letters end a group"},
      {"94539148803436467", {}, "a digit in front makes 17"},
  }, kCurrent);
}

// Groups count only in a printed layout, and never cut out of a longer one.
TEST(Scan, PrintedLayouts) {
  ExpectRows({
      {"4539 1488 0343 6467", {{1, 1, 0, "4539 1488 0343 6467", "Visa", "layout"}}, "4-4-4-4"},
      {"4539-1488-0343-6467", {{1, 1, 0, "4539-1488-0343-6467", "Visa", "layout"}}, "4-4-4-4 with hyphens"},
      {"3742 821946 21233", {{1, 1, 0, "3742 821946 21233", "American Express", "layout"}}, "4-6-5"},
      {"3612 345678 9013", {{1, 1, 0, "3612 345678 9013", "Diners Club", "layout"}}, "4-6-4"},
      {"4500 0000 00005", {{1, 1, 0, "4500 0000 00005", "Visa", "layout"}}, "4-4-5"},
      {"4500 000 000 005", {{1, 1, 0, "4500 000 000 005", "Visa", "layout"}}, "4-3-3-3"},
      {"6210 9876 5432 10127", {{1, 1, 0, "6210 9876 5432 10127", "UnionPay", "layout"}}, "4-4-4-5 for 17"},
      {"6210 9876 5432 101230", {{1, 1, 0, "6210 9876 5432 101230", "UnionPay", "layout"}}, "4-4-4-6 for 18"},
      {"6210 9876 5432 1012 346", {{1, 1, 0, "6210 9876 5432 1012 346", "UnionPay", "layout"}}, "4-4-4-4-3"},
      {"6210 9876 5432 1012346", {{1, 1, 0, "6210 9876 5432 1012346", "UnionPay", "layout"}}, "4-4-4-7"},
      {"621098 7654321012346", {{1, 1, 0, "621098 7654321012346", "UnionPay", "layout"}}, "6-13"},
      {"4539148 803436467", {}, "7-9 is no layout"},
      {"4 539148803436467", {}, "1-15 is no layout"},
      {"4000 4006 8883 0", {}, "4-4-4-1, as a hex dump groups: no layout"},
      {"4-7878-4030-9817", {}, "1-4-4-4, out of a UUID"},
      {"4539 1488 0343 6467 123", {{1, 1, 0, "4539 1488 0343 6467 123", "Visa", "layout"}},
       "4-4-4-4-3: the 19 digits pass"},
      {"4539 1488 0343 6467 124", {}, "the 19 digits fail, and no 16 is cut out of them"},
      {"453914 4500000000005", {}, "the 13 digits after a 6 are a 6-13 number's, which fails"},
      {"4539 1488 0343 6467 2024", {}, "a fifth group joined by the same space: no number is cut out of the chain"},
      {"2024 4539 1488 0343 6467", {}, "the same in front"},
      {"4539 1488 0343 6467 4539 1488 0343 6467 0000 1111", {}, "rows of groups, as a hex dump has them"},
      {"4539-1488-0343-6467 2024", {{1, 1, 0, "4539-1488-0343-6467", "Visa", "layout"}},
       "a group joined by another separator is no part of it"},
      {"2024-05-01, 4539 1488 0343 6467", {{1, 13, 12, "4539 1488 0343 6467", "Visa", "layout"}},
       "a comma ends the chain"},
      {"4539-1488 0343-6467", {}, "one separator throughout"},
      {"4539  1488 0343 6467", {}, "two spaces do not join"},
      {"4539.1488.0343.6467", {}, "a dot is no separator"},
      {"4539-1488-0343-6467 4539-1488-0343-6467",
       {{1, 1, 0, "4539-1488-0343-6467", "Visa", "layout"}, {1, 21, 20, "4539-1488-0343-6467", "Visa", "layout"}},
       "two cards in one chain, joined by another separator"},
      {"5531 4539148803436467", {{1, 6, 5, "4539148803436467", "Visa", "plain"}}, "a group by its length after another"},
  }, kCurrent);
}

TEST(Scan, SeparatorsOfEveryKind) {
  ExpectRows({
      {"4539\xC2\xA0" "1488\xC2\xA0" "0343\xC2\xA0" "6467",
       {{1, 1, 0, "4539\xC2\xA0" "1488\xC2\xA0" "0343\xC2\xA0" "6467", "Visa", "layout"}}, "no-break space U+00A0"},
      {"4539\xE2\x80\xAF" "1488\xE2\x80\xAF" "0343\xE2\x80\xAF" "6467",
       {{1, 1, 0, "4539\xE2\x80\xAF" "1488\xE2\x80\xAF" "0343\xE2\x80\xAF" "6467", "Visa", "layout"}},
       "narrow no-break space U+202F"},
      {"n=4539+1488+0343+6467", {{1, 3, 2, "4539+1488+0343+6467", "Visa", "layout key=n"}}, "form-encoded +"},
      {"4539%201488%200343%206467", {{1, 1, 0, "4539%201488%200343%206467", "Visa", "layout"}}, "form-encoded %20"},
      {"4539\xC2\xA0" "1488 0343 6467", {}, "two kinds of separator"},
      {"4539\t1488\t0343\t6467", {}, "a tab is no separator"},
      {"4539\xe2\x80\x93" "1488\xe2\x80\x93" "0343\xe2\x80\x93" "6467", {}, "an en dash is no separator"},
      {"4539%2x1488", {}, "half a %20"},
      {"4539\xC2" "1488\xC2" "0343\xC2" "6467", {}, "half a no-break space"},
      {"1234%2545391488034364670", {}, "%25 is an escape: the 5 is no digit, 23 remain"},
  }, kCurrent);
}

// The hex digits of an escape are not digits of a number.
TEST(Scan, Escapes) {
  ExpectRows({
      {"{\"n\":\"Karte\\u00a04539148803436467\"}", {{1, 18, 17, "4539148803436467", "Visa", "plain"}},
       "the 0 of a JSON escape does not join the number"},
      {"\\u00414539148803436467", {{1, 7, 6, "4539148803436467", "Visa", "plain"}}, "four hex digits that are digits"},
      {"\\x204539148803436467", {{1, 5, 4, "4539148803436467", "Visa", "plain"}}, "\\x and two"},
      {"Karte%204539148803436467", {{1, 9, 8, "4539148803436467", "Visa", "plain"}}, "%20 after a letter is a space"},
      {"%414539148803436467", {{1, 4, 3, "4539148803436467", "Visa", "plain"}}, "%41"},
      {"&#160;4539148803436467", {{1, 7, 6, "4539148803436467", "Visa", "plain"}}, "a character reference"},
      {"&#4539148803436467", {}, "a character reference takes up to seven digits: nine remain"},
      {"&#99999994539148803436467", {{1, 10, 9, "4539148803436467", "Visa", "plain"}}, "seven and no more"},
      {"&#x20;4539148803436467", {{1, 7, 6, "4539148803436467", "Visa", "plain"}}, "a hex character reference"},
      {"%B4539148803436467^DOE/JOHN^2512101?", {{1, 3, 2, "4539148803436467", "Visa", "track track=1"}},
       "%B and a digit is track 1, no escape"},
  }, kCurrent);
}

TEST(Scan, Ibans) {
  ExpectRows({
      {"DE56 3605 0000 0123 4569 00", {}, "an IBAN in groups: six groups joined by spaces are no layout"},
      {"FR91 3000 6000 0112 3455 7890 189", {}, "a French one: seven groups"},
      {"FR36123456780103", {{1, 3, 2, "36123456780103", "Diners Club", "plain"}}, "French IBANs have 27 characters"},
      {"BE36123456780103", {{1, 3, 2, "36123456780103", "Diners Club", "plain kept=iban"}}, "a Belgian IBAN whole"},
      {"XX36123456780103", {{1, 3, 2, "36123456780103", "Diners Club", "plain"}}, "XX has no IBANs"},
      {"ABE36123456780103", {{1, 4, 3, "36123456780103", "Diners Club", "plain"}}, "a letter before the country"},
      {"BE361234567801030", {}, "17 digits"},
  }, kCurrent);
}

TEST(Scan, KeysBeforeNumbers) {
  ExpectRows({
      {"order_id=4539148803436467", {{1, 10, 9, "4539148803436467", "Visa", "plain kept=key key=order_id"}},
       "an order id"},
      {"{\"traceId\":\"4539148803436460003\"}",
       {{1, 13, 12, "4539148803436460003", "Visa", "plain kept=key key=traceId"}}, "a trace id in JSON"},
      {"phone: 4539148803436467", {{1, 8, 7, "4539148803436467", "Visa", "plain kept=key key=phone"}}, "a phone"},
      {"IMEI 4539148803436467", {{1, 6, 5, "4539148803436467", "Visa", "plain kept=key key=IMEI"}}, "a word and a space"},
      {"card_number=4539148803436467", {{1, 13, 12, "4539148803436467", "Visa", "key key=card_number"}}, "a card key"},
      {"<pan>4539148803436467</pan>", {{1, 6, 5, "4539148803436467", "Visa", "key key=pan"}}, "an XML element"},
      {"card_id = '4539148803436467'", {{1, 12, 11, "4539148803436467", "Visa", "key key=card_id"}},
       "a card word wins over an id"},
      {"note=4539148803436467", {{1, 6, 5, "4539148803436467", "Visa", "plain key=note"}}, "a key of neither kind"},
      {"paid 4539148803436467", {{1, 6, 5, "4539148803436467", "Visa", "plain"}}, "a plain word is no key"},
      {"order_id=4539 1488 0343 6467", {{1, 10, 9, "4539 1488 0343 6467", "Visa", "layout key=order_id"}},
       "a printed layout is reported whatever the key"},
      {"order_id=12 4539148803436467", {{1, 13, 12, "4539148803436467", "Visa", "plain"}},
       "the key is the value 12's"},
      {"ref_2= 4539148803436467", {{1, 8, 7, "4539148803436467", "Visa", "plain kept=key key=ref_2"}},
       "a space after the key's digit and delimiter joins nothing"},
  }, kCurrent);
}

TEST(Scan, TestNumbersAndTrackData) {
  ExpectRows({
      {"4111111111111111", {{1, 1, 0, "4111111111111111", "Visa", "plain kept=test test"}}, "a test number"},
      {"4111 1111 1111 1111", {{1, 1, 0, "4111 1111 1111 1111", "Visa", "layout kept=test test"}}, "grouped"},
      {"card=4242424242424242", {{1, 6, 5, "4242424242424242", "Visa", "key kept=test test key=card"}}, "with a card key"},
      {"6205500000000000004", {{1, 1, 0, "6205500000000000004", "UnionPay", "plain kept=test test"}}, "19 digits"},
      {"%B4539148803436467^DOE/JOHN^25121010000000000000?",
       {{1, 3, 2, "4539148803436467", "Visa", "track track=1"}}, "track 1"},
      {";4539148803436467=25121010000000000?", {{1, 2, 1, "4539148803436467", "Visa", "track track=2"}}, "track 2"},
      {"4539148803436467=2512101", {{1, 1, 0, "4539148803436467", "Visa", "track track=2"}}, "track 2, no sentinel"},
      {"order_id=4539148803436467=2512", {{1, 10, 9, "4539148803436467", "Visa", "track track=2 key=order_id"}},
       "track data whatever the key"},
      {";4111111111111111=2512101?", {{1, 2, 1, "4111111111111111", "Visa", "track track=2 test"}},
       "track data even of a test number"},
      {"4539148803436467=25", {{1, 1, 0, "4539148803436467", "Visa", "plain"}}, "no expiry date"},
      {"4539 1488 0343 6467=2512", {{1, 1, 0, "4539 1488 0343 6467", "Visa", "layout"}}, "track data is never grouped"},
  }, kCurrent);
}

TEST(Scan, LuhnOnlyUnderTheCurrentRule) {
  ExpectRows({
      {"1234567890123452", {{1, 1, 0, "1234567890123452", "unknown", "plain"}}, "no brand, the checksum passes"},
      {"4539148803436467", {{1, 1, 0, "4539148803436467", "Visa", "plain"}}, "a brand keeps its name"},
      {"1234 5678 9012 3452", {{1, 1, 0, "1234 5678 9012 3452", "unknown", "layout"}}, "a layout"},
      {"1234 567890123452", {}, "no layout"},
  }, kCurrentLuhnOnly);
}

// At most the first six and the last four digits are shown, separators kept.
TEST(Scan, MaskingKeepsSeparators) {
  struct Row {
    const char* number;
    const char* masked;
    const char* why;
  } const rows[] = {
      {"4222222222222", "422222***2222", "13 digits: three hidden"},
      {"3056 930902 5904", "3056 93**** 5904", "14 digits in three groups"},
      {"3782 822463 10005", "3782 82**** *0005", "15 digits: the hidden run crosses a space"},
      {"4111-1111-1111-1111", "4111-11**-****-1111", "16 digits with dashes"},
      {"41111111111111113", "411111*******1113", "17 digits"},
      {"4111 1111 1111 1111 11", "4111 11** **** **11 11", "18 digits"},
      {"4111-1111-1111-1111-110", "4111-11**-****-***1-110", "19 digits"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(MaskedCardNumber(row.number), row.masked);
  }
}

// Text full of near misses and cards, for comparing with the reference.
std::string MixedText(std::mt19937& random, std::size_t size) {
  static const char* const kPieces[] = {
      "4111111111111111", "4111 1111 1111 1111", "4111-1111-1111-1111", "378282246310005", "4222222222222",
      "4222222222222 006", "2221000000000009", "41111111111111113", " ", "-", "  ", "\n", "x", "2024-05-01",
      "12:34:56", "+1-555-123-4567", "9941111111111111119", "0", "7", "1 ", "4", "\r\n", ".", "\t", "555",
      "4539148803436467", "4539 1488 0343 6467", "6210 9876 5432 1012 346", "\xC2\xA0", "%20", "+", "\\u00a0",
      "%", "\\x", "&#", "order_id=", "card=", "DE56 3605 0000 0123 4569 00", "%B", "^", ";", "=2512", "\xE2\x80\xAF",
      "3742 821946 21233", "621098 ", "B", "E", "36123456780103",
  };
  std::string text;
  while (text.size() < size) text += kPieces[random() % std::size(kPieces)];
  return text;
}

TEST(Scan, RandomBlockSplitsAgreeWithTheReference) {
  std::mt19937 random(12);
  for (int round = 0; round < 200; ++round) {
    const std::string text = MixedText(random, 50 + random() % 3000);
    for (ScanRule rule : {kSeedRule, kSeedLuhnOnly, kCurrent, kCurrentLuhnOnly}) {
      const auto ref = reference::FindCards(text, rule);
      const std::vector<std::string> expected = DescribeAll(std::span<const reference::Finding>(ref), rule);
      std::vector<std::size_t> cuts;
      for (std::size_t at = random() % 200; at < text.size(); at += 1 + random() % 200) cuts.push_back(at);
      EXPECT_EQ(ScanInBlocks(text, rule, cuts, round % 2 == 0), expected) << text;
    }
  }
}

// A chain may be any length; what the scanner carries between blocks is not.
TEST(Scan, LongChainsAcrossManyBlocks) {
  struct Row {
    std::string text;
    uint64_t column;
    const char* why;
  } const rows[] = {
      {std::string(1 << 20, '9') + " 4111111111111111", (1 << 20) + 2, "a group of a million digits, then a joined card"},
      {[] {
         std::string text;
         for (int i = 0; i < 100000; ++i) text += "1 ";
         return text + "4111111111111111";
       }(),
       200001, "a chain of a hundred thousand one-digit groups ending in a card"},
      {[] {
         std::string text;
         for (int i = 0; i < 100000; ++i) text += "12-";
         return text + "4111111111111111";
       }(),
       300001, "a dashed chain of two-digit groups"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 4093; at < row.text.size(); at += 4093) cuts.push_back(at);
    for (ScanRule rule : {kSeedRule, kCurrent}) {
      const std::vector<std::string> expected = {"1:" + std::to_string(row.column) + " @" +
                                                 std::to_string(row.column - 1) + " 4111111111111111 Visa" +
                                                 (rule.seed() ? "" : " plain kept=test test")};
      EXPECT_EQ(ScanInBlocks(row.text, rule, cuts), expected);
      EXPECT_EQ(ScanInBlocks(row.text, rule, cuts, true), expected);
    }
  }
}

TEST(Scan, FinishStartsAFreshInput) {
  CardScanner scanner;
  EXPECT_TRUE(scanner.Scan("x\n4111 1111 1111").empty());
  ASSERT_EQ(scanner.Finish().size(), 0u) << "12 digits at the end are no card";
  const std::span<const CardFinding> found = scanner.Scan("4111111111111111");
  EXPECT_TRUE(found.empty()) << "the number may go on in the next block";
  const std::span<const CardFinding> rest = scanner.Finish();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(Describe(rest[0], kCurrent), "1:1 @0 4111111111111111 Visa plain kept=test test")
      << "offsets and lines start again";
}

// Every vector form of the byte classes equals the portable one, for the
// seed rule's separators and the current rule's.
TEST(Scan, ByteClassesOfEveryForm) {
  std::mt19937 random(7);
  std::vector<unsigned char> bytes(64 * 64);
  const unsigned char kLikely[] = {'0', '5', '9', ' ', '-', '\n', '/', ':', '+', '%', 0x00, 0x7f, 0x80, 0xb0, 0xff, '0' - 1, '9' + 1};
  for (unsigned char& b : bytes) b = random() % 2 ? kLikely[random() % std::size(kLikely)] : static_cast<unsigned char>(random());
  for (int byte = 0; byte < 256; ++byte) bytes[static_cast<std::size_t>(byte)] = static_cast<unsigned char>(byte);
  const std::size_t chunks = bytes.size() / 64;
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "the current rule" : "the seed rule");
    std::vector<ByteClasses> expected(chunks), actual(chunks);
    (wide ? ClassifyBytesScalarWide : ClassifyBytesScalar)(bytes.data(), chunks, expected.data());
    // The portable form itself, on the bytes that are all 256 values.
    for (int byte = 0; byte < 256; ++byte) {
      const ByteClasses& c = expected[static_cast<std::size_t>(byte) / 64];
      const uint64_t bit = uint64_t{1} << (byte % 64);
      EXPECT_EQ((c.digits & bit) != 0, byte >= '0' && byte <= '9') << byte;
      EXPECT_EQ((c.separators & bit) != 0, byte == ' ' || byte == '-' || (wide && (byte == '+' || byte == '%'))) << byte;
      EXPECT_EQ((c.newlines & bit) != 0, byte == '\n') << byte;
      EXPECT_EQ((c.high & bit) != 0, wide && byte >= 0x80) << byte;
    }
    auto same = [&](const char* form) {
      for (std::size_t i = 0; i < chunks; ++i) {
        SCOPED_TRACE(std::string(form) + " chunk " + std::to_string(i));
        EXPECT_EQ(actual[i].digits, expected[i].digits);
        EXPECT_EQ(actual[i].separators, expected[i].separators);
        EXPECT_EQ(actual[i].newlines, expected[i].newlines);
        EXPECT_EQ(actual[i].high, expected[i].high);
      }
    };
    for (const simd::Isa isa : kRunningIsas) {
      const ScanForms& forms = ScanFormsFor(isa);
      (wide ? forms.classify_wide : forms.classify)(bytes.data(), chunks, actual.data());
      same(IsaName(isa));
    }
  }
}

// The checksum the skipper takes of a lone group of 13 to 19 digits, two
// vectors over a padded block, is the library's.
TEST(Scan, LoneGroupChecksumAgrees) {
#if TESSERA_HAVE_SSE2
  std::mt19937 random(3);
  for (std::size_t length = kShortestCard; length <= kLongestLuhnRun; ++length)
    for (int round = 0; round < 500; ++round) {
      std::string digits;
      for (std::size_t i = 0; i < length; ++i) digits += static_cast<char>('0' + random() % 10);
      const std::string padded = digits + std::string(kPadding, static_cast<char>(random()));
      EXPECT_EQ(scan_skip::DigitsPassLuhnPadded(reinterpret_cast<const unsigned char*>(padded.data()), length),
                CheckNumber(digits))
          << digits;
    }
#else
  GTEST_SKIP() << "no SSE2 form in this build";
#endif
}

// The skipper built for AVX2 processors equals the portable one: the same
// next chain, and the same lines counted on the way.
TEST(Scan, SkipperOfEveryForm) {
  std::mt19937 random(5);
  for (int round = 0; round < 100; ++round) {
    std::string text = MixedText(random, 100 + random() % 2000);
    const std::size_t end = text.size();
    text.append(kPadding, '1');
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t at = 0; at < end; at += 1 + random() % 97) {
      for (const bool wide : {false, true}) {
        detail::ScanSkipper portable{}, fast{};
        for (detail::ScanSkipper* s : {&portable, &fast}) {
          s->classify = wide ? ClassifyBytesScalarWide : ClassifyBytesScalar;
          s->longest = round % 2 ? kLongestCard : kLongestLuhnRun;
          s->base = 1000;
        }
        const std::size_t expected = (wide ? SkipPortableWide : SkipPortable)(portable, p, at, end, true);
        for (const simd::Isa isa : kRunningIsas) {
          detail::ScanSkipper fast_form = fast;
          const ScanForms& forms = ScanFormsFor(isa);
          EXPECT_EQ((wide ? forms.skip_wide : forms.skip)(fast_form, p, at, end, true), expected)
              << IsaName(isa) << ": " << text.substr(at, end - at);
          EXPECT_EQ(fast_form.lines, portable.lines);
          EXPECT_EQ(fast_form.line_start, portable.line_start);
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessera
