// scan_rules_test.cpp -- each rule that judges a number found in text, as a table of its own
#include <gtest/gtest.h>

#include <string>

#include "cards/key_context.h"
#include "cards/lookalikes.h"
#include "cards/scan_judge.h"
#include "cards/scan_layout.h"
#include "cards/test_numbers.h"
#include "cards/track_data.h"
#include "frame/checks.h"

namespace tessera {
namespace {

TEST(ScanRules, LayoutsAndTheirNeighbours) {
  struct Row {
    std::vector<uint8_t> sizes;
    bool layout;
    const char* why;
  } const rows[] = {
      {{4, 4, 4, 4}, true, "16"},         {{4, 4, 4, 3}, false, "15 in fours"},   {{4, 6, 5}, true, "15"},
      {{4, 6, 4}, true, "14"},            {{4, 4, 5}, true, "13"},                {{4, 4, 4, 1}, false, "13 in fours"},
      {{4, 3, 3, 3}, true, "13"},         {{4, 4, 4, 5}, true, "17"},             {{4, 4, 4, 4, 1}, false, "17"},
      {{4, 4, 4, 6}, true, "18"},         {{4, 4, 4, 4, 2}, false, "18"},         {{4, 4, 4, 4, 3}, true, "19"},
      {{4, 4, 4, 7}, true, "19"},         {{6, 13}, true, "19"},                  {{7, 9}, false, "16"},
      {{1, 4, 4, 4}, false, "13"},        {{4, 4, 4, 4, 4}, false, "20"},        {{16}, false, "one group"},
  };
  for (const Row& row : rows) EXPECT_EQ(IsLayout(row.sizes), row.layout) << row.why;
}

TEST(ScanRules, Separators) {
  struct Row {
    const char* bytes;
    Separator kind;
    bool may_grow;
  } const rows[] = {
      {" 1", Separator::Space, false},      {"-1", Separator::Hyphen, false},
      {"+1", Separator::Plus, false},       {"%201", Separator::PercentTwenty, false},
      {"\xC2\xA0" "1", Separator::NoBreakSpace, false},
      {"\xE2\x80\xAF" "1", Separator::NarrowNoBreakSpace, false},
      {"%2", Separator::None, true},        {"\xE2\x80", Separator::None, true},
      {"\xC2", Separator::None, true},      {"%21", Separator::None, false},
      {"\t1", Separator::None, false},      {"\xE2\x80\x93" "1", Separator::None, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SeparatorAt(row.bytes).kind, row.kind) << row.bytes;
    EXPECT_EQ(MayBeSeparator(row.bytes), row.may_grow) << row.bytes;
  }
}

TEST(ScanRules, EscapeDigitsBeforeARun) {
  struct Row {
    const char* before;
    std::size_t digits;
    const char* why;
  } const rows[] = {
      {"Karte\\u00a", 1, "\\u with three hex digits before the run"},
      {"\\u", 4, "\\u right before"},
      {"\\u12", 2, "two before"},
      {"\\u12g", 0, "a byte that is no hex digit"},
      {"\\x", 2, "\\x"},
      {"\\xA", 1, "\\x and one"},
      {"%", 2, "%"},
      {"%A", 1, "% and one"},
      {"%B", 0, "%B and a digit opens track 1"},
      {"&#", 7, "a character reference"},
      {"&#x", 6, "a hex one"},
      {"&#xa", 5, "a hex one with a letter"},
      {"\\\\", 0, "a backslash alone"},
      {"x ", 0, "nothing"},
  };
  for (const Row& row : rows) EXPECT_EQ(EscapedDigits(row.before), row.digits) << row.why;
}

// IBANs as the registry's examples print them, and their near misses.
TEST(ScanRules, Ibans) {
  struct Row {
    std::string text;
    std::size_t begin, end;
    bool iban;
    const char* why;
  } const rows[] = {
      {"DE89 3704 0044 0532 0130 00", 5, 24, true, "Germany, grouped"},
      {"DE89370400440532013000", 4, 20, true, "Germany, whole"},
      {"DE88 3704 0044 0532 0130 00", 5, 24, false, "check digits off by one"},
      {"DE89 3704 0044 0532 0130 001", 5, 24, false, "one digit too many"},
      {"DE89 3704 0044 0532 0130 0", 5, 24, false, "one too few"},
      {"de89 3704 0044 0532 0130 00", 5, 24, true, "lower case"},
      {"GB82 WEST 1234 5698 7654 32", 10, 27, true, "letters in the account"},
      {"FR14 2004 1010 0505 0001 3M02 606", 5, 24, true, "France, a letter late"},
      {"XDE89 3704 0044 0532 0130 00", 6, 25, false, "a letter before the country"},
      {"QQ89 3704 0044 0532 0130 00", 5, 24, false, "no such country"},
      {"DE89 3704 0044 0532 0130 00", 0, 4, false, "the number begins before the IBAN"},
      {"NO9386011117947", 2, 15, true, "Norway: 15"},
  };
  for (const Row& row : rows) EXPECT_EQ(WithinIban(row.text, row.begin, row.end), row.iban) << row.why;
  EXPECT_EQ(IbanLength("FR"), 27u);
  EXPECT_EQ(IbanLength("US"), 0u);
}

TEST(ScanRules, KeysAndTheirKinds) {
  struct Row {
    const char* before;
    KeyKind kind;
    const char* name;
  } const rows[] = {
      {"imei=", KeyKind::Other, "imei"},
      {"\"trace_id\": \"", KeyKind::Other, "trace_id"},
      {"{\\\"spanId\\\":\\\"", KeyKind::Other, "spanId"},
      {"X-Order-Id: ", KeyKind::Other, "X-Order-Id"},
      {"<msisdn>", KeyKind::Other, "msisdn"},
      {"<iccid type=\"sim\">", KeyKind::Other, "iccid"},
      {"account_number = '", KeyKind::Other, "account_number"},
      {"ts:", KeyKind::Other, "ts"},
      {"\"msisdn\":\"+", KeyKind::Other, "msisdn"},
      {"\"order_id\":\"ORD", KeyKind::Other, "order_id"},
      {"ORD", KeyKind::None, ""},
      {"GET /api/v2/orders/", KeyKind::Other, "orders"},
      {"/cards/", KeyKind::Card, "cards"},
      {"cardNumber=", KeyKind::Card, "cardNumber"},
      {"\"pan\":\"", KeyKind::Card, "pan"},
      {"CC ", KeyKind::Card, "CC"},
      {"card_id=", KeyKind::Card, "card_id"},
      {"amount=", KeyKind::Neutral, "amount"},
      {"paid ", KeyKind::None, ""},
      {"imei  ", KeyKind::None, ""},
      {"x=\"\"\"\"", KeyKind::None, ""},
      {"12=", KeyKind::None, ""},
      {"span", KeyKind::None, ""},
      {"Karte\\u00a0", KeyKind::None, ""},
  };
  for (const Row& row : rows) {
    const Key key = KeyBefore(row.before);
    EXPECT_EQ(key.kind, row.kind) << row.before;
    EXPECT_EQ(key.name, row.name) << row.before;
  }
}

TEST(ScanRules, TestNumbers) {
  struct Row {
    const char* digits;
    bool test;
  } const rows[] = {
      {"4111111111111111", true},  {"4242424242424242", true}, {"2223003122003222", true},
      {"6205500000000000004", true}, {"4222222222222", true},  {"4111111111111112", false},
      {"411111111111111", false},  {"4539148803436467", false}, {"", false},
  };
  for (const Row& row : rows) EXPECT_EQ(IsTestNumber(row.digits), row.test) << row.digits;
  for (const TestNumber& n : TestNumbers()) EXPECT_TRUE(CheckNumber(n.digits)) << n.digits << " passes the checksum";
}

TEST(ScanRules, TrackData) {
  struct Row {
    const char* before;
    const char* after;
    int track;
  } const rows[] = {
      {"%B", "^DOE/JOHN^2512101?", 1}, {"B", "^DOE", 0},     {"%B", "DOE", 0},
      {";", "=2512101?", 2},          {"", "=2512", 2},      {";", "=251", 0},
      {"", "=", 0},                   {"", " =2512", 0},
  };
  for (const Row& row : rows) EXPECT_EQ(TrackOf(row.before, row.after), row.track) << row.before << row.after;
}

// How the rules combine: track data outranks all, an IBAN and a test
// number outrank keys, and a card key or a layout outranks another key.
TEST(ScanRules, JudgementOrder) {
  struct Row {
    const char* before;
    const char* number;
    const char* after;
    bool grouped, starts_chain;
    FindingReason reason;
    KeptBack kept;
  } const rows[] = {
      {"order_id=", "4539148803436467", "=2512", false, true, FindingReason::Track, KeptBack::None},
      {"order_id=", "4111111111111111", "", false, true, FindingReason::Plain, KeptBack::Test},
      {"order_id=", "4539148803436467", "", false, true, FindingReason::Plain, KeptBack::Key},
      {"order_id=", "4539148803436467", "", false, false, FindingReason::Plain, KeptBack::None},
      {"order_id=", "4539 1488 0343 6467", "", true, true, FindingReason::Layout, KeptBack::None},
      {"card=", "4539148803436467", "", false, true, FindingReason::Key, KeptBack::None},
      {"BE", "36123456780103", "", false, true, FindingReason::Plain, KeptBack::Iban},
      {"x ", "4539148803436467", "", false, true, FindingReason::Plain, KeptBack::None},
  };
  for (const Row& row : rows) {
    const Judgement j = JudgeFinding(row.before, row.number, row.after, row.grouped, row.starts_chain);
    EXPECT_EQ(j.reason, row.reason) << row.before << row.number;
    EXPECT_EQ(j.kept, row.kept) << row.before << row.number;
  }
}

}  // namespace
}  // namespace tessera
