// field_test.cpp -- the text primitives at their edges, and the date forms
#include <gtest/gtest.h>

#include "base/field.h"
#include "base/today.h"

namespace tessera {
namespace {

constexpr Text k29 = "12345678901234567890123456789";

TEST(Substring, ShrinksToWhatTheTextHolds) {
  struct Row {
    Text text;
    std::ptrdiff_t start, count;
    Text expected;
  } const rows[] = {
      {k29, 1, 10, "1234567890"},
      {k29, 13, 7, "3456789"},
      {k29, 29, 1, "9"},
      {k29, 29, 5, "9"},
      {k29, 30, 1, ""},
      {k29, 0, 3, "123"},
      {k29, -3, 3, "123"},
      {k29, 5, 0, ""},
      {k29, 5, -2, ""},
      {"", 1, 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "start " << row.start << " count " << row.count);
    EXPECT_EQ(Substring(row.text, row.start, row.count), row.expected);
  }
}

TEST(PrefixSuffix, TakeTheWholeTextWhenShort) {
  struct Row {
    Text text;
    std::ptrdiff_t count;
    Text prefix, suffix;
  } const rows[] = {
      {"4", 3, "4", "4"},
      {"601100", 4, "6011", "1100"},
      {"601100", 0, "", ""},
      {"601100", -1, "", ""},
      {"", 2, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(Prefix(row.text, row.count), row.prefix);
    EXPECT_EQ(Suffix(row.text, row.count), row.suffix);
  }
  EXPECT_NE(Prefix("4", 3), Text("400")) << "a short text never equals a longer literal";
  EXPECT_EQ(Text(), Text("")) << "the null text is the empty text";
}

TEST(DigitValue, OnlyDecimalDigitsCount) {
  for (char c = '0'; c <= '9'; ++c) EXPECT_EQ(DigitValue(c), c - '0');
  for (char c : {'A', 'z', '<', ' ', '-', '+', '/', ':', '\x80', '\xff'}) EXPECT_EQ(DigitValue(c), 0) << int(c);
}

TEST(FieldValue, ReadsSpacesSignAndTheFirstRunOfDigits) {
  struct Row {
    Text text;
    int32_t expected;
  } const rows[] = {
      {" 42ab", 42},
      {"-7", -7},
      {"+5", 5},
      {"- 5", 0},
      {"A1", 0},
      {"007", 7},
      {"", 0},
      {"   ", 0},
      {"\t5", 0},
      {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},
      {"4294967296", 0},
      {"4294967297", 1},
      {"-4294967295", 1},
      {"99999999999", 1215752191},
  };
  for (const Row& row : rows) EXPECT_EQ(FieldValue(row.text), row.expected) << '"' << row.text << '"';
}

TEST(Today, NumberAndTwoDigitYear) {
  struct Row {
    Date date;
    int32_t number, two_digit_year;
  } const rows[] = {
      {{2026, 12, 8}, 20261208, 26},
      {{2004, 1, 1}, 20040101, 4},
      {{2099, 12, 31}, 20991231, 99},
      {{2100, 1, 1}, 21000101, 0},
      {{2000, 2, 29}, 20000229, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TodayNumber(row.date), row.number);
    EXPECT_EQ(TodayTwoDigitYear(row.date), row.two_digit_year);
  }
}

// YYYYMMDD must fit a signed 32-bit number: a clock far in the future, or
// before year 1, gives no date the checks can compare, and so no answer.
TEST(Today, RepresentableDates) {
  struct Row {
    Date date;
    bool representable;
    const char* why;
  } const rows[] = {
      {{1, 1, 1}, true, "the first day of year 1"},
      {{0, 12, 31}, false, "year 0"},
      {{214748, 12, 31}, true, "2147481231 still fits"},
      {{214749, 1, 1}, false, "2147490101 does not"},
      {{2026, 13, 1}, false, "month 13"},
      {{2026, 12, 0}, false, "day 0"},
  };
  for (const Row& row : rows) EXPECT_EQ(IsRepresentable(row.date), row.representable) << row.why;
  EXPECT_EQ(kLatestYear, 214748);
}

}  // namespace
}  // namespace tessera
