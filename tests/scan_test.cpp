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
#include "tests/scan_reference.h"

namespace tessera {
namespace {

struct Found {
  uint64_t line, column, offset;
  const char* number;
  const char* brand;
};

struct ScanCase {
  std::string text;
  std::vector<Found> found;
  const char* why;
};

using Rows = std::vector<ScanCase>;

std::string Describe(const CardFinding& f) {
  return std::to_string(f.line) + ":" + std::to_string(f.column) + " @" + std::to_string(f.offset) + " " +
         std::string(f.number()) + " " + std::string(FindingBrandName(f.brand));
}

std::string Describe(const Found& f) {
  return std::to_string(f.line) + ":" + std::to_string(f.column) + " @" + std::to_string(f.offset) + " " + f.number +
         " " + f.brand;
}

std::string Describe(const reference::Finding& f) {
  return std::to_string(f.line) + ":" + std::to_string(f.column) + " @" + std::to_string(f.offset) + " " + f.number +
         " " + std::string(FindingBrandName(f.brand));
}

template <class T>
std::vector<std::string> DescribeAll(std::span<const T> findings) {
  std::vector<std::string> lines;
  for (const T& f : findings) lines.push_back(Describe(f));
  return lines;
}

// The findings of `text` fed in blocks that end at the given offsets, each
// block copied into a buffer of exactly its size so that a read past it is
// caught by the sanitizers.
std::vector<std::string> ScanInBlocks(const std::string& text, ScanRule rule, const std::vector<std::size_t>& cuts,
                                      bool padded = false) {
  CardScanner scanner(rule);
  std::vector<std::string> lines;
  auto take = [&lines](std::span<const CardFinding> found) {
    for (const CardFinding& f : found) lines.push_back(Describe(f));
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
    const std::vector<std::string> expected = DescribeAll(std::span<const Found>(row.found));
    EXPECT_EQ(DescribeAll(std::span<const CardFinding>(FindCards(row.text, rule))), expected);
    EXPECT_EQ(ScanInBlocks(row.text, rule, {}, true), expected);
    const auto ref = reference::FindCards(row.text, rule == ScanRule::LuhnOnly);
    EXPECT_EQ(DescribeAll(std::span<const reference::Finding>(ref)), expected) << "the reference scanner";
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

TEST(Scan, GroupsAndSeparators) {
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
  }, ScanRule::Card);
}

TEST(Scan, LettersAndOtherBytesAroundNumbers) {
  ExpectRows({
      {"x4111111111111111y", {{1, 2, 1, "4111111111111111", "Visa"}}, "letters end a group without a space"},
      {"id:4111-1111-1111-1111,ok", {{1, 4, 3, "4111-1111-1111-1111", "Visa"}}, "punctuation around a dashed number"},
      {Bytes("\0" "4111111111111111" "\0", 18), {{1, 2, 1, "4111111111111111", "Visa"}}, "NUL bytes are other bytes"},
      {"\xff" "4111111111111111" "\x80", {{1, 2, 1, "4111111111111111", "Visa"}}, "high bytes are other bytes"},
      {"04111111111111111", {}, "a digit in front makes one group of 17"},
      {"41111111111111110", {}, "a digit behind makes one group of 17"},
      {"9941111111111111119", {}, "a 19-digit order number yields no card from its middle"},
      {"\xef\xbc\x94" "111111111111111", {}, "a fullwidth 4 is no digit: 15 digits remain"},
  }, ScanRule::Card);
}

TEST(Scan, LongestRunAndWhereTheSearchGoesOn) {
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
  }, ScanRule::Card);
}

TEST(Scan, LengthsAndBrands) {
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
  }, ScanRule::Card);
}

TEST(Scan, LuhnOnly) {
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
  }, ScanRule::LuhnOnly);
}

TEST(Scan, LinesAndColumns) {
  ExpectRows({
      {"a\nb\n  4111111111111111", {{3, 3, 6, "4111111111111111", "Visa"}}, "line 3, two spaces in"},
      {"x\r\n4111111111111111", {{2, 1, 3, "4111111111111111", "Visa"}}, "lines count \\n; \\r is a byte of line 1"},
      {"4111111111111111\n\n5555555555554444",
       {{1, 1, 0, "4111111111111111", "Visa"}, {3, 1, 18, "5555555555554444", "MasterCard"}}, "an empty line between"},
      {"\n\n\n", {}, "newlines only"},
  }, ScanRule::Card);
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
  };
  std::string text;
  while (text.size() < size) text += kPieces[random() % std::size(kPieces)];
  return text;
}

TEST(Scan, RandomBlockSplitsAgreeWithTheReference) {
  std::mt19937 random(12);
  for (int round = 0; round < 200; ++round) {
    const std::string text = MixedText(random, 50 + random() % 3000);
    for (ScanRule rule : {ScanRule::Card, ScanRule::LuhnOnly}) {
      const auto ref = reference::FindCards(text, rule == ScanRule::LuhnOnly);
      const std::vector<std::string> expected = DescribeAll(std::span<const reference::Finding>(ref));
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
    const std::vector<std::string> expected = {"1:" + std::to_string(row.column) + " @" +
                                               std::to_string(row.column - 1) + " 4111111111111111 Visa"};
    EXPECT_EQ(ScanInBlocks(row.text, ScanRule::Card, cuts), expected);
    EXPECT_EQ(ScanInBlocks(row.text, ScanRule::Card, cuts, true), expected);
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
  EXPECT_EQ(Describe(rest[0]), "1:1 @0 4111111111111111 Visa") << "offsets and lines start again";
}

// Every vector form of the byte classes equals the portable one.
TEST(Scan, ByteClassesOfEveryForm) {
  std::mt19937 random(7);
  std::vector<unsigned char> bytes(64 * 64);
  const unsigned char kLikely[] = {'0', '5', '9', ' ', '-', '\n', '/', ':', 0x00, 0x80, 0xb0, 0xff, '0' - 1, '9' + 1};
  for (unsigned char& b : bytes) b = random() % 2 ? kLikely[random() % std::size(kLikely)] : static_cast<unsigned char>(random());
  for (int byte = 0; byte < 256; ++byte) bytes[static_cast<std::size_t>(byte)] = static_cast<unsigned char>(byte);
  const std::size_t chunks = bytes.size() / 64;
  std::vector<ByteClasses> expected(chunks), actual(chunks);
  ClassifyBytesScalar(bytes.data(), chunks, expected.data());
  // The portable form itself, on the bytes that are all 256 values.
  for (int byte = 0; byte < 256; ++byte) {
    const ByteClasses& c = expected[static_cast<std::size_t>(byte) / 64];
    const uint64_t bit = uint64_t{1} << (byte % 64);
    EXPECT_EQ((c.digits & bit) != 0, byte >= '0' && byte <= '9') << byte;
    EXPECT_EQ((c.separators & bit) != 0, byte == ' ' || byte == '-') << byte;
    EXPECT_EQ((c.newlines & bit) != 0, byte == '\n') << byte;
  }
  auto same = [&](const char* form) {
    for (std::size_t i = 0; i < chunks; ++i) {
      SCOPED_TRACE(std::string(form) + " chunk " + std::to_string(i));
      EXPECT_EQ(actual[i].digits, expected[i].digits);
      EXPECT_EQ(actual[i].separators, expected[i].separators);
      EXPECT_EQ(actual[i].newlines, expected[i].newlines);
    }
  };
  for (const simd::Isa isa : kRunningIsas) {
    ScanFormsFor(isa).classify(bytes.data(), chunks, actual.data());
    same(IsaName(isa));
  }
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
      detail::ScanSkipper portable{}, fast{};
      for (detail::ScanSkipper* s : {&portable, &fast}) {
        s->classify = ClassifyBytesScalar;
        s->longest = round % 2 ? kLongestCard : kLongestLuhnRun;
        s->base = 1000;
      }
      const std::size_t expected = SkipPortable(portable, p, at, end, true);
      for (const simd::Isa isa : kRunningIsas) {
        detail::ScanSkipper fast_form = fast;
        EXPECT_EQ(ScanFormsFor(isa).skip(fast_form, p, at, end, true), expected)
            << IsaName(isa) << ": " << text.substr(at, end - at);
        EXPECT_EQ(fast_form.lines, portable.lines);
        EXPECT_EQ(fast_form.line_start, portable.line_start);
      }
    }
  }
}

}  // namespace
}  // namespace tessera
