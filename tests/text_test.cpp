// text_test.cpp -- tessera_text.h: every case table through one text and through columns of both widths
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tessera_text.h"
#include "tests/cases/cards.h"
#include "tests/cases/dates.h"
#include "tests/cases/gpa.h"
#include "tests/cases/nul.h"
#include "tests/guarded.h"

bool operator==(const tessera_card_verdict& a, const tessera_card_verdict& b) {
  return a.valid == b.valid && a.brand == b.brand && a.checksum == b.checksum;
}
bool operator==(const tessera_id_verdict& a, const tessera_id_verdict& b) {
  return a.valid == b.valid && a.check_digits == b.check_digits && a.unexpired == b.unexpired && a.age == b.age;
}

namespace tessera {
namespace {

using cases::CardBrand;

// Texts as an Arrow column: end to end after a few bytes that belong to no
// text (a slice of a longer column), the last text's last byte the last one
// before a guard page, so that reading past the column faults.
template <class Offset>
class Column {
 public:
  explicit Column(const std::vector<std::string>& texts) {
    std::string bytes = "xyz";
    offsets_.push_back(static_cast<Offset>(bytes.size()));
    for (const std::string& text : texts) {
      bytes += text;
      offsets_.push_back(static_cast<Offset>(bytes.size()));
    }
    bytes_ = std::make_unique<fixtures::GuardedBytes>(bytes);
  }
  const char* data() const { return bytes_->data(); }
  const Offset* offsets() const { return offsets_.data(); }
  std::size_t count() const { return offsets_.size() - 1; }

 private:
  std::vector<Offset> offsets_;
  std::unique_ptr<fixtures::GuardedBytes> bytes_;
};

// The three forms of one answer, with `Day...` the date argument if it takes one.
template <class Answer, class... Day>
struct Forms {
  const char* name;
  Answer (*one)(const char*, std::size_t, Day...);
  void (*strings)(const char*, const int32_t*, std::size_t, Day..., Answer*);
  void (*large_strings)(const char*, const int64_t*, std::size_t, Day..., Answer*);
};
#define TESSERA_FORMS(op) {#op, tessera_text_##op, tessera_strings_##op, tessera_large_strings_##op}

template <class Answer, class... Day>
void ExpectForms(const Forms<Answer, Day...>& forms, const std::vector<std::string>& texts,
                 const std::vector<Answer>& expected, Day... day) {
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(forms.one(texts[i].data(), texts[i].size(), day...), expected[i]) << forms.name << " \"" << texts[i] << '"';
  auto expect_column = [&](const auto& column, auto judge, const char* width) {
    const std::unique_ptr<Answer[]> answers(new Answer[texts.size()]);
    judge(column.data(), column.offsets(), column.count(), day..., answers.get());
    for (std::size_t i = 0; i < texts.size(); ++i)
      EXPECT_EQ(answers[i], expected[i]) << forms.name << ", " << width << " column, \"" << texts[i] << '"';
  };
  expect_column(Column<int32_t>(texts), forms.strings, "32-bit");
  expect_column(Column<int64_t>(texts), forms.large_strings, "64-bit");
}

using CardForms = Forms<bool>;
const CardForms kBrandTests[] = {TESSERA_FORMS(is_amex), TESSERA_FORMS(is_dc),  TESSERA_FORMS(is_disc),
                                 TESSERA_FORMS(is_jcb),  TESSERA_FORMS(is_mc), TESSERA_FORMS(is_visa)};
constexpr CardBrand kBrandTested[] = {CardBrand::Amex, CardBrand::DinersClub, CardBrand::Discover,
                                      CardBrand::Jcb,  CardBrand::MasterCard, CardBrand::Visa};

// All rows of every card table as one column, NUL bytes included: more
// than one batch, and a tail of texts too close to the end to be read as padded.
TEST(Text, EveryCardCaseAloneAndInColumns) {
  std::vector<std::string> texts;
  std::vector<tessera_card_verdict> verdicts;
  auto add = [&](std::string_view text, CardBrand brand, bool luhn) {
    texts.emplace_back(text);
    verdicts.push_back({brand != CardBrand::None && luhn, static_cast<tessera_brand>(brand), luhn});
  };
  using Rows = std::span<const cases::CardCase>;
  for (Rows table : {Rows(cases::kBrandLengthCases), Rows(cases::kBrandPrefixCases), Rows(cases::kLuhnCases),
                     Rows(cases::kCardCases)})
    for (const cases::CardCase& row : table) add(row.text, row.brand, row.luhn);
  for (const cases::NulCardCase& row : cases::kNulCardCases) add(row.text, row.brand, row.luhn);
  ASSERT_GT(texts.size(), 64u);
  auto answers = [&](auto answer) {
    std::vector<decltype(answer(verdicts[0]))> all;
    for (const tessera_card_verdict& v : verdicts) all.push_back(answer(v));
    return all;
  };
  for (std::size_t b = 0; b < std::size(kBrandTests); ++b) {
    const auto brand = static_cast<tessera_brand>(kBrandTested[b]);
    ExpectForms(kBrandTests[b], texts, answers([brand](tessera_card_verdict v) { return v.brand == brand; }));
  }
  ExpectForms(CardForms TESSERA_FORMS(check_organization), texts,
              answers([](tessera_card_verdict v) { return v.brand != TESSERA_NO_BRAND; }));
  ExpectForms(CardForms TESSERA_FORMS(check_number), texts, answers([](tessera_card_verdict v) { return v.checksum; }));
  ExpectForms(CardForms TESSERA_FORMS(check_card), texts, answers([](tessera_card_verdict v) { return v.valid; }));
  ExpectForms(Forms<tessera_brand> TESSERA_FORMS(card_brand), texts,
              answers([](tessera_card_verdict v) { return v.brand; }));
  ExpectForms(Forms<tessera_card_verdict> TESSERA_FORMS(card_verdict), texts, verdicts);
}

TEST(Text, EveryGpaCase) {
  std::vector<std::string> texts;
  std::vector<bool> valid;
  using Rows = std::span<const cases::GpaCase>;
  for (Rows table : {Rows(cases::kGpaLayoutCases), Rows(cases::kGpaMutationCases)})
    for (const cases::GpaCase& row : table) {
      texts.emplace_back(row.text);
      valid.push_back(row.valid);
    }
  for (const cases::NulGpaCase& row : cases::kNulGpaCases) {
    texts.emplace_back(row.text);
    valid.push_back(row.valid);
  }
  ExpectForms(CardForms TESSERA_FORMS(check_gpa_no), texts, valid);
}

// Each row's number on its day, in a column beside a text that is no GPA number.
TEST(Text, EveryDateCaseOnItsDay) {
  using DatedForms = Forms<tessera_id_verdict, const tessera_date*>;
  using Rows = std::span<const cases::DateCase>;
  for (Rows table : {Rows(cases::kExpiryCases), Rows(cases::kAgeCases)})
    for (const cases::DateCase& row : table) {
      SCOPED_TRACE(row.why);
      const tessera_date day{row.today.year, row.today.month, row.today.day};
      const tessera_id_verdict judged{row.unexpired, true, row.unexpired, row.age}, none{false, false, false, 0};
      const std::vector<std::string> texts = {row.number, "4111111111111111", row.number};
      ExpectForms(DatedForms TESSERA_FORMS(id_verdict), texts, {judged, none, judged}, &day);
      ExpectForms(Forms<bool, const tessera_date*> TESSERA_FORMS(check_gpa_no_expired), texts,
                  {row.unexpired, false, row.unexpired}, &day);
      ExpectForms(Forms<int32_t, const tessera_date*> TESSERA_FORMS(gpa_age), texts, {row.age, 0, row.age}, &day);
    }
}

// No day given is the local clock's today.
TEST(Text, NoDayIsTheLocalDate) {
  tessera_date today;
  ASSERT_TRUE(tessera_local_today(&today));
  for (const char* number : {cases::kWorkedGpa, "12345678970-7506154-7901014-6", "not a number"}) {
    const std::size_t size = std::strlen(number);
    EXPECT_TRUE(tessera_text_id_verdict(number, size, nullptr) == tessera_text_id_verdict(number, size, &today));
    const Column<int64_t> column({number});
    tessera_id_verdict by_clock{}, on_today{};
    tessera_large_strings_id_verdict(column.data(), column.offsets(), 1, nullptr, &by_clock);
    tessera_large_strings_id_verdict(column.data(), column.offsets(), 1, &today, &on_today);
    EXPECT_TRUE(by_clock == on_today) << number;
  }
}

// A masked column has the column's offsets.
TEST(Text, MaskAloneAndInColumns) {
  std::vector<std::string> texts;
  std::string expected;
  auto add = [&](std::string_view number, std::string_view wanted, const char* why) {
    texts.emplace_back(number);
    expected += wanted;
    std::string masked(number.size(), '?');
    tessera_text_mask_card(number.data(), number.size(), masked.data());
    EXPECT_EQ(masked, wanted) << why;
  };
  for (const cases::MaskCase& row : cases::kMaskCases) add(row.number, row.masked, row.why);
  for (const cases::NulMaskCase& row : cases::kNulMaskCases) add(row.number, row.masked, row.why);
  std::string masked32(expected.size(), '?'), masked64(expected.size(), '?');
  const Column<int32_t> narrow(texts);
  const Column<int64_t> wide(texts);
  tessera_strings_mask_card(narrow.data(), narrow.offsets(), narrow.count(), masked32.data());
  tessera_large_strings_mask_card(wide.data(), wide.offsets(), wide.count(), masked64.data());
  EXPECT_EQ(masked32, expected);
  EXPECT_EQ(masked64, expected);
}

TEST(Text, EmptyTextsAndColumns) {
  EXPECT_TRUE(tessera_text_check_number(nullptr, 0)) << "the empty text's sum is 0";
  EXPECT_FALSE(tessera_text_check_card(nullptr, 0));
  EXPECT_EQ(tessera_text_card_brand(nullptr, 0), TESSERA_NO_BRAND);
  tessera_text_mask_card(nullptr, 0, nullptr);
  const int32_t offsets[] = {0};
  tessera_strings_check_card(nullptr, offsets, 0, nullptr);
  tessera_strings_mask_card(nullptr, offsets, 0, nullptr);
}

TEST(Text, BrandNamesAndComparableDays) {
  for (int brand = 0; brand < 7; ++brand)
    EXPECT_STREQ(tessera_brand_name(static_cast<tessera_brand>(brand)), cases::NameOf(static_cast<CardBrand>(brand)));
  EXPECT_EQ(tessera_brand_name(7), nullptr);
  const struct {
    tessera_date day;
    bool comparable;
  } rows[] = {
      {{1, 1, 1}, true},   {{TESSERA_LATEST_YEAR, 12, 31}, true}, {{TESSERA_LATEST_YEAR + 1, 1, 1}, false},
      {{0, 12, 31}, false}, {{2026, 13, 1}, false},                {{2026, 2, 31}, true},
      {{2026, 1, 32}, false}, {{2026, 0, 1}, false},               {{2026, 1, 0}, false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(tessera_date_comparable(row.day), row.comparable) << row.day.year << '-' << row.day.month << '-' << row.day.day;
}

}  // namespace
}  // namespace tessera
