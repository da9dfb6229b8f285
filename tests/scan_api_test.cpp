// scan_api_test.cpp -- the finder and redactor of tessera_scan.h, as C callers use them
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera_scan.h"

namespace {

struct Expected {
  uint64_t offset;
  uint32_t length;
  tessera_brand brand;
};

bool operator==(const tessera_finding& a, const Expected& b) {
  return a.offset == b.offset && a.length == b.length && a.brand == b.brand;
}

const std::string kLog = "pay 4111 1111 1111 1111 ok\nref 378282246310005\nno 4111111111111112";
const std::vector<Expected> kFound = {{4, 19, TESSERA_VISA}, {31, 15, TESSERA_AMEX}};

int Collect(void* context, const tessera_finding* f) {
  static_cast<std::vector<tessera_finding>*>(context)->push_back(*f);
  return 0;
}

int StopAtFirst(void* context, const tessera_finding* f) {
  static_cast<std::vector<tessera_finding>*>(context)->push_back(*f);
  return 1;
}

void ExpectFound(const std::vector<tessera_finding>& found, const std::string& why) {
  ASSERT_EQ(found.size(), kFound.size()) << why;
  for (std::size_t i = 0; i < found.size(); ++i) EXPECT_TRUE(found[i] == kFound[i]) << why << " finding " << i;
}

TEST(ScanApi, ScannerAtEveryBlockEdge) {
  tessera_scanner* scanner = tessera_scanner_new(TESSERA_SCAN_CARD);
  ASSERT_NE(scanner, nullptr);
  for (std::size_t cut = 0; cut <= kLog.size(); ++cut) {
    std::vector<tessera_finding> found;
    std::size_t count = tessera_scanner_feed(scanner, kLog.data(), cut, Collect, &found);
    count += tessera_scanner_feed(scanner, kLog.data() + cut, kLog.size() - cut, Collect, &found);
    count += tessera_scanner_finish(scanner, Collect, &found);
    EXPECT_EQ(count, kFound.size());
    ExpectFound(found, "cut at " + std::to_string(cut));
  }
  tessera_scanner_free(scanner);
}

TEST(ScanApi, CallbackStopsTheBlock) {
  tessera_scanner* scanner = tessera_scanner_new(TESSERA_SCAN_CARD);
  std::vector<tessera_finding> found;
  EXPECT_EQ(tessera_scanner_feed(scanner, kLog.data(), kLog.size(), StopAtFirst, &found), kFound.size());
  EXPECT_EQ(found.size(), 1u);
  tessera_scanner_free(scanner);
  EXPECT_EQ(tessera_scanner_new(7), nullptr) << "an unknown rule";
}

TEST(ScanApi, OneCallFindsAndCounts) {
  std::vector<tessera_finding> found(3);
  EXPECT_EQ(tessera_find_cards(kLog.data(), kLog.size(), TESSERA_SCAN_CARD, found.data(), found.size()), 2u);
  found.resize(2);
  ExpectFound(found, "whole");
  tessera_finding one{};
  EXPECT_EQ(tessera_find_cards(kLog.data(), kLog.size(), TESSERA_SCAN_CARD, &one, 1), 2u) << "more than fit";
  EXPECT_TRUE(one == kFound[0]);
}

TEST(ScanApi, ContainsCard) {
  const struct {
    const char* text;
    int rule;
    bool contains;
  } rows[] = {
      {"ref 378282246310005", TESSERA_SCAN_CARD, true},
      {"no 4111111111111112", TESSERA_SCAN_CARD, false},
      {"19 digits 4000000000000000006", TESSERA_SCAN_CARD, false},
      {"19 digits 4000000000000000006", TESSERA_SCAN_LUHN_ONLY, true},
      {"", TESSERA_SCAN_CARD, false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(tessera_contains_card(row.text, std::string(row.text).size(), row.rule), row.contains) << row.text;
}

TEST(ScanApi, RedactReportsTheSizeAndStaysInTheBuffer) {
  const tessera_redact_options replace = {TESSERA_REDACT_REPLACE, TESSERA_SCAN_CARD, "#", 1};
  const std::string want = "pay # ok\nref #\nno 4111111111111112";
  EXPECT_EQ(tessera_redact(kLog.data(), kLog.size(), &replace, nullptr, 0), want.size());
  std::string out(want.size() + 1, '!');
  EXPECT_EQ(tessera_redact(kLog.data(), kLog.size(), &replace, out.data(), 5), want.size());
  EXPECT_EQ(out.substr(0, 6), "pay #!") << "only what fits";
  EXPECT_EQ(tessera_redact(kLog.data(), kLog.size(), &replace, out.data(), want.size()), want.size());
  EXPECT_EQ(out, want + "!");

  const tessera_redact_options first6last4 = {TESSERA_REDACT_FIRST6LAST4, TESSERA_SCAN_CARD, nullptr, 0};
  std::string masked(kLog.size(), '\0');
  EXPECT_EQ(tessera_redact(kLog.data(), kLog.size(), &first6last4, masked.data(), masked.size()), kLog.size());
  EXPECT_EQ(masked, "pay 4111 11** **** 1111 ok\nref 378282*****0005\nno 4111111111111112");
  EXPECT_EQ(tessera_redact(kLog.data(), kLog.size(), nullptr, masked.data(), masked.size()), kLog.size());
  EXPECT_EQ(masked, "pay **** **** **** 1111 ok\nref ***********0005\nno 4111111111111112");
}

}  // namespace
