// tessera_text.cpp -- the checks over text of known length, for one text and for columns
//
// Every operation of frame/operations.h in its three forms, each answered
// as its row of frame/answers.h says. A column is judged in batches of
// views into the caller's buffer, with no copy: a text followed by at least
// kPadding more bytes of the column is a PaddedText as it stands. Only the
// last few texts are judged one by one.
#include "tessera_text.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <type_traits>
#include <utility>

#include "frame/answers.h"
#include "frame/checks.h"
#include "frame/operations.h"

namespace {

using tessera::Brand;
using tessera::CardVerdict;
using tessera::Date;
using tessera::PaddedText;
using tessera::Text;

static_assert(TESSERA_LONGEST_CARD == tessera::kLongestCard);
static_assert(TESSERA_GPA_LENGTH == tessera::kGpaLength);
static_assert(TESSERA_LATEST_YEAR == tessera::kLatestYear);

// The C names stand for the core's brands one for one.
constexpr bool SameBrands() {
  constexpr std::pair<int, Brand> kPairs[] = {
      {TESSERA_NO_BRAND, Brand::None},       {TESSERA_AMEX, Brand::Amex},
      {TESSERA_DINERS_CLUB, Brand::DinersClub}, {TESSERA_DISCOVER, Brand::Discover},
      {TESSERA_JCB, Brand::Jcb},             {TESSERA_MASTERCARD, Brand::MasterCard},
      {TESSERA_VISA, Brand::Visa}};
  for (const auto& [c, core] : kPairs)
    if (c != static_cast<int>(core)) return false;
  return std::size(kPairs) == tessera::kBrandCount;
}
static_assert(SameBrands());

Text View(const char* text, std::size_t size) { return size == 0 ? Text() : Text(text, size); }

Date ToDate(tessera_date day) { return {day.year, day.month, day.day}; }

// The day of a call: the one given, or today's, read on the first question.
class Day {
 public:
  explicit Day(const tessera_date* given) {
    if (given) day_ = ToDate(*given);
    read_ = given != nullptr;
  }
  std::optional<Date> operator()() {
    if (!read_) day_ = tessera::LocalToday();
    read_ = true;
    return day_;
  }

 private:
  std::optional<Date> day_;
  bool read_;
};

// ---------------------------------------------------------------------------
// Columns

inline constexpr std::size_t kBatch = 64;

template <class Offset>
struct Column {
  const char* data;
  const Offset* offsets;
  std::size_t count;

  std::size_t size(std::size_t i) const { return static_cast<std::size_t>(offsets[i + 1] - offsets[i]); }
  Text text(std::size_t i) const { return View(data + offsets[i], size(i)); }

  // Texts [0, padded()) are followed by at least kPadding bytes of the column.
  std::size_t padded() const {
    std::size_t n = count;
    while (n > 0 && static_cast<std::size_t>(offsets[count] - offsets[n]) < tessera::kPadding) --n;
    return n;
  }

  // batch(texts, n, first) for runs of padded texts, then one(text, i) for the rest.
  template <class Batch, class One>
  void ForEach(Batch&& batch, One&& one) const {
    const std::size_t end = padded();
    PaddedText texts[kBatch];
    for (std::size_t first = 0; first < end; first += kBatch) {
      const std::size_t n = std::min(kBatch, end - first);
      for (std::size_t k = 0; k < n; ++k) texts[k] = PaddedText(data + offsets[first + k], size(first + k));
      batch(texts, n, first);
    }
    for (std::size_t i = end; i < count; ++i) one(text(i), i);
  }
};

template <bool kBrand, bool kChecksum, class Offset, class Answer, class Take>
void JudgeCards(Column<Offset> column, Answer* answers, Take take) {
  column.ForEach(
      [&](const PaddedText* texts, std::size_t n, std::size_t first) {
        CardVerdict verdicts[kBatch];
        if constexpr (kBrand && kChecksum) {
          tessera::JudgeCardsPadded(texts, n, verdicts);
        } else {
          Brand brands[kBatch] = {};
          bool passes[kBatch] = {};
          if constexpr (kBrand) tessera::BrandsOfPadded(texts, n, brands);
          if constexpr (kChecksum) tessera::LuhnChecksPadded(texts, n, passes);
          for (std::size_t k = 0; k < n; ++k) verdicts[k] = {brands[k], passes[k]};
        }
        for (std::size_t k = 0; k < n; ++k) answers[first + k] = take(verdicts[k]);
      },
      [&](Text text, std::size_t i) { answers[i] = take(tessera::answers::JudgeCardParts<kBrand, kChecksum>(text)); });
}

// The answers for a column, as the operation's row `A` gives them: card
// operations in batches, masking into the masked column, the others one
// text at a time; `day` only for dated operations.
template <class A, class Offset, class Answer>
void Columns(Column<Offset> column, const tessera_date* given, Answer* answers) {
  if constexpr (requires { A::kBrand; }) {
    JudgeCards<A::kBrand, A::kChecksum>(column, answers, A::Take);
  } else if constexpr (std::is_same_v<A, tessera::answers::Masked>) {
    for (std::size_t i = 0; i < column.count; ++i)
      A::One(column.text(i), answers + (column.offsets[i] - column.offsets[0]));
  } else if constexpr (requires { A::Take; }) {
    Day day(given);
    for (std::size_t i = 0; i < column.count; ++i) answers[i] = A::One(column.text(i), day);
  } else {
    for (std::size_t i = 0; i < column.count; ++i) answers[i] = A::One(column.text(i));
  }
}

// A brand test tests the brand its row of the table names.
#define TESSERA_BRAND_TEST(name, Export, exported, arguments, answer, brand, longest, meaning) \
  static_assert(TESSERA_##brand == TESSERA_NO_BRAND ||                                        \
                    std::is_same_v<tessera::answers::name,                                    \
                                   tessera::answers::FromCard<true, false,                    \
                                                              tessera::answers::IsBrand<      \
                                                                  static_cast<Brand>(TESSERA_##brand)>>>, \
                #name " tests the brand its row names");
TESSERA_OPERATIONS(TESSERA_BRAND_TEST)
#undef TESSERA_BRAND_TEST

using C_BOOL = bool;
using C_AGE = int32_t;
using C_BRAND = tessera_brand;
using C_CARD_VERDICT = tessera_card_verdict;
using C_ID_VERDICT = tessera_id_verdict;
using C_MASKED = char;

}  // namespace

// The three forms of every operation: one text, and columns of both widths.
#define TESSERA_FORMS(name, Export, exported, arguments, answer, brand, longest, meaning) \
  TESSERA_ONE_##answer(name, arguments, C_##answer) TESSERA_COLUMNS_##arguments(name, C_##answer)

#define TESSERA_ONE_BOOL(name, arguments, Answer) TESSERA_ONE_##arguments(name, Answer)
#define TESSERA_ONE_AGE(name, arguments, Answer) TESSERA_ONE_##arguments(name, Answer)
#define TESSERA_ONE_BRAND(name, arguments, Answer) TESSERA_ONE_##arguments(name, Answer)
#define TESSERA_ONE_CARD_VERDICT(name, arguments, Answer) TESSERA_ONE_##arguments(name, Answer)
#define TESSERA_ONE_ID_VERDICT(name, arguments, Answer) TESSERA_ONE_##arguments(name, Answer)
#define TESSERA_ONE_MASKED(name, arguments, Answer)                               \
  void tessera_text_##name(const char* text, size_t size, char* masked) {         \
    tessera::answers::name::One(View(text, size), masked);                        \
  }
#define TESSERA_ONE_TEXT(name, Answer) \
  Answer tessera_text_##name(const char* text, size_t size) { return tessera::answers::name::One(View(text, size)); }
#define TESSERA_ONE_TEXT_DAY(name, Answer)                                          \
  Answer tessera_text_##name(const char* text, size_t size, const tessera_date* day) { \
    return tessera::answers::name::One(View(text, size), Day(day));                 \
  }

#define TESSERA_COLUMNS_TEXT(name, Answer)                                                                       \
  void tessera_strings_##name(const char* data, const int32_t* offsets, size_t count, Answer* answers) {          \
    Columns<tessera::answers::name>(Column<int32_t>{data, offsets, count}, nullptr, answers);                    \
  }                                                                                                              \
  void tessera_large_strings_##name(const char* data, const int64_t* offsets, size_t count, Answer* answers) {    \
    Columns<tessera::answers::name>(Column<int64_t>{data, offsets, count}, nullptr, answers);                    \
  }
#define TESSERA_COLUMNS_TEXT_DAY(name, Answer)                                                                    \
  void tessera_strings_##name(const char* data, const int32_t* offsets, size_t count, const tessera_date* day,    \
                              Answer* answers) {                                                                  \
    Columns<tessera::answers::name>(Column<int32_t>{data, offsets, count}, day, answers);                        \
  }                                                                                                              \
  void tessera_large_strings_##name(const char* data, const int64_t* offsets, size_t count,                      \
                                    const tessera_date* day, Answer* answers) {                                  \
    Columns<tessera::answers::name>(Column<int64_t>{data, offsets, count}, day, answers);                        \
  }

extern "C" {

const char* tessera_brand_name(tessera_brand brand) {
  if (brand >= tessera::kBrandCount) return nullptr;
  // The names are the rules' literals, each followed by its NUL.
  return tessera::BrandName(static_cast<Brand>(brand)).data();
}

bool tessera_local_today(tessera_date* today) {
  const std::optional<Date> local = tessera::LocalToday();
  if (!local) return false;
  *today = {local->year, local->month, local->day};
  return true;
}

bool tessera_date_comparable(tessera_date day) { return tessera::IsRepresentable(ToDate(day)); }

TESSERA_OPERATIONS(TESSERA_FORMS)

}  // extern "C"
