// gpa_test.cpp -- GPA layout, check digits, expiry and age
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <span>
#include <string>

#include "base/today.h"
#include "iddoc/dates.h"
#include "iddoc/gpa.h"
#include "tessera.h"
#include "tests/cases/dates.h"
#include "tests/cases/gpa.h"
#include "tests/exact_text.h"

namespace tessera {
namespace {

using cases::DateCase;
using cases::GpaCase;
using cases::MakeGpa;

int32_t Truth(bool yes) { return yes ? -1 : 0; }

void ExpectAll(std::span<const GpaCase> rows) {
  for (const GpaCase& row : rows) {
    SCOPED_TRACE(::testing::Message() << '"' << row.text << "\": " << row.why);
    const fixtures::ExactText text(row.text);
    EXPECT_EQ(::CheckGPANo(text.c_str()), Truth(row.valid));
    if (!row.valid) {
      EXPECT_EQ(::CheckGPANoExpired(text.c_str()), 0);
      EXPECT_EQ(::CheckGPANoAge(text.c_str()), 0);
    }
  }
}

TEST(Gpa, Layout) { ExpectAll(cases::kGpaLayoutCases); }
TEST(Gpa, SingleCharacterMutations) { ExpectAll(cases::kGpaMutationCases); }

TEST(Gpa, CheckDigit731) {
  EXPECT_TRUE(CheckDigit731("1234567897")) << "147 ends in 7";
  EXPECT_TRUE(CheckDigit731("7506154")) << "114 ends in 4";
  EXPECT_TRUE(CheckDigit731("0909309")) << "99 ends in 9";
  EXPECT_TRUE(CheckDigit731("1234567897750615409093090")) << "390 ends in 0";
  EXPECT_FALSE(CheckDigit731("1234567898"));
  EXPECT_TRUE(CheckDigit731("0")) << "nothing weighted: sum 0";
  EXPECT_TRUE(CheckDigit731("X")) << "a non-digit check digit counts 0";
  EXPECT_FALSE(CheckDigit731(""));
}

TEST(Gpa, BuilderMakesTheWorkedExample) {
  EXPECT_EQ(MakeGpa("123456789", "750615", "090930"), cases::kWorkedGpa);
}

void ExpectDates(std::span<const DateCase> rows) {
  for (const DateCase& row : rows) {
    const std::string number = row.number;
    SCOPED_TRACE(::testing::Message() << number << ": " << row.why);
    ASSERT_TRUE(CheckGPANo(number));
    const Date today{row.today.year, row.today.month, row.today.day};
    EXPECT_EQ(IsUnexpired(number, today), row.unexpired);
    EXPECT_EQ(AgeOn(number, today), row.age);
  }
}

TEST(Dates, Expiry) { ExpectDates(cases::kExpiryCases); }
TEST(Dates, Age) { ExpectDates(cases::kAgeCases); }

TEST(Dates, InvalidNumbersAnswerZero) {
  const std::string good = "12345678970-7506154-7901014-6";  // expires in 2079
  std::string bad = good;
  bad[28] = bad[28] == '9' ? '0' : static_cast<char>(bad[28] + 1);
  const Date today{2026, 12, 8};
  EXPECT_TRUE(IsUnexpired(good, today));
  EXPECT_FALSE(IsUnexpired(bad, today));
  EXPECT_EQ(AgeOn(bad, today), 0);
}

// A day the checks cannot compare judges nothing, yet the check digits
// still are: the verdict says which answers were judged.
TEST(Dates, UnrepresentableTodayGivesNoAnswer) {
  const std::string number = "12345678970-7506154-7901014-6";  // expires in 2079
  for (const Date today : {Date{214749, 1, 1}, Date{0, 1, 1}, Date{2026, 0, 8}}) {
    const IdVerdict verdict = JudgeId(number, today);
    EXPECT_TRUE(verdict.check_digits);
    EXPECT_FALSE(verdict.unexpired) << today.year;
    EXPECT_EQ(verdict.age, 0) << today.year;
  }
}

TEST(Dates, StreamedTextsKnownByLengthAndHead) {
  const std::string good = cases::kWorkedGpa;
  const Date today{2009, 9, 30};
  struct Row {
    std::string head;
    uint64_t size;
    bool check_digits;
    const char* why;
  } const rows[] = {
      {good, 29, true, "the worked example, whole"},
      {good + "0", 30, false, "one character more"},
      {good + "0", uint64_t{1} << 30, false, "a gibibyte that begins with the worked example"},
      {good.substr(0, 28), 28, false, "one character less"},
  };
  for (const Row& row : rows) {
    const IdVerdict v = JudgeIdStream(row.head, row.size, today);
    EXPECT_EQ(v.check_digits, row.check_digits) << row.why;
    EXPECT_EQ(v.unexpired, row.check_digits) << row.why << ": the example expires on 2009-09-30";
    EXPECT_EQ(v.age, row.check_digits ? 34 : 0) << row.why << ": born in 75, judged in 09";
  }
}

// The exported date checks read the local clock. Far-apart zones put the
// local date on different days, so following TZ is seen, not assumed.
class LocalClock : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz, had_tz_ = true;
  }
  void TearDown() override {
    had_tz_ ? setenv("TZ", saved_.c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  std::string saved_;
  bool had_tz_ = false;
};

Date UtcDateAt(std::time_t when) {
  std::tm utc{};
  gmtime_r(&when, &utc);
  return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
}

std::string YyMmDd(Date d) {
  char text[40];
  std::snprintf(text, sizeof text, "%02d%02d%02d", d.year % 100, d.month, d.day);
  return text;
}

TEST_P(LocalClock, ExportsFollowTheLocalZone) {
  const int east_hours = GetParam();
  // POSIX TZ offsets count west of Greenwich: "X-14" is fourteen hours east.
  const std::string tz = "TST" + std::to_string(-east_hours);
  setenv("TZ", tz.c_str(), 1);
  tzset();  // a program that changes TZ tells the C library so
  const std::time_t now = std::time(nullptr);
  const Date expected = UtcDateAt(now + east_hours * 3600);
  const std::optional<Date> read = LocalToday();
  ASSERT_TRUE(read.has_value());
  const Date local = *read;
  if (TodayNumber(UtcDateAt(std::time(nullptr) + east_hours * 3600)) != TodayNumber(expected)) {
    GTEST_SKIP() << "local midnight passed during the test";
  }
  ASSERT_EQ(TodayNumber(local), TodayNumber(expected));

  const Date yesterday = UtcDateAt(now + east_hours * 3600 - 86400);
  const std::string today_number = MakeGpa("123456789", "750615", YyMmDd(local));
  const std::string expired = MakeGpa("123456789", "750615", YyMmDd(yesterday));
  EXPECT_EQ(::CheckGPANoExpired(today_number.c_str()), -1);
  EXPECT_EQ(::CheckGPANoExpired(expired.c_str()), 0);

  const std::string born_last_year = MakeGpa("123456789", YyMmDd({local.year - 1, 1, 1}), "790101");
  EXPECT_EQ(::CheckGPANoAge(born_last_year.c_str()), 1);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalClock, ::testing::Values(14, 0, -12));

}  // namespace
}  // namespace tessera
