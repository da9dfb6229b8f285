// tessera_text.cpp -- the checks over text of known length, for one text and for columns
//
// A column is judged in batches of views into the caller's buffer, with no
// copy: a text followed by at least kPadding more bytes of the column is a
// PaddedText as it stands. Only the last few texts are judged one by one.
#include "tessera_text.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "frame/checks.h"

namespace {

using tessera::Brand;
using tessera::CardVerdict;
using tessera::Date;
using tessera::IdVerdict;
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

tessera_card_verdict ToC(CardVerdict verdict) {
  return {verdict.valid(), static_cast<tessera_brand>(verdict.brand), verdict.checksum};
}
tessera_id_verdict ToC(IdVerdict verdict) {
  return {verdict.valid(), verdict.check_digits, verdict.unexpired, verdict.age};
}

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

// The card verdict of one text, with the brand or the checksum left out
// where the answer needs only the other.
template <bool kBrand, bool kChecksum>
CardVerdict JudgeCard(Text text) {
  return {kBrand ? tessera::BrandOf(text) : Brand::None, kChecksum && tessera::CheckNumber(text)};
}

template <bool kBrand, bool kChecksum, class Offset, class Answer, class Project>
void JudgeCards(Column<Offset> column, Answer* answers, Project project) {
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
        for (std::size_t k = 0; k < n; ++k) answers[first + k] = project(verdicts[k]);
      },
      [&](Text text, std::size_t i) { answers[i] = project(JudgeCard<kBrand, kChecksum>(text)); });
}

template <class Offset, class Answer, class Project>
void JudgeIds(Column<Offset> column, const tessera_date* given, Answer* answers, Project project) {
  Day day(given);
  for (std::size_t i = 0; i < column.count; ++i) answers[i] = project(tessera::JudgeIdOn(column.text(i), day));
}

template <class Offset>
void CheckGpaNos(Column<Offset> column, bool* answers) {
  for (std::size_t i = 0; i < column.count; ++i) answers[i] = tessera::CheckGPANo(column.text(i));
}

template <class Offset>
void MaskCards(Column<Offset> column, char* masked) {
  for (std::size_t i = 0; i < column.count; ++i)
    tessera::MaskCardNumber(column.text(i), masked + (column.offsets[i] - column.offsets[0]));
}

// What each answer takes from its verdict.
template <Brand kBrand>
constexpr auto kIsBrand = [](CardVerdict v) { return v.brand == kBrand; };
constexpr auto kHasBrand = [](CardVerdict v) { return v.brand != Brand::None; };
constexpr auto kChecksum = [](CardVerdict v) { return v.checksum; };
constexpr auto kValidCard = [](CardVerdict v) { return v.valid(); };
constexpr auto kBrandCode = [](CardVerdict v) { return static_cast<tessera_brand>(v.brand); };
constexpr auto kCardVerdict = [](CardVerdict v) { return ToC(v); };
constexpr auto kUnexpired = [](IdVerdict v) { return v.unexpired; };
constexpr auto kAge = [](IdVerdict v) { return v.age; };
constexpr auto kIdVerdict = [](IdVerdict v) { return ToC(v); };

}  // namespace

// Each card answer once, over one text and over columns of both widths:
// `brand` and `checksum` say which parts of the verdict it needs.
#define TESSERA_CARD_ANSWER(op, Answer, brand, checksum, project)                                                  \
  Answer tessera_text_##op(const char* text, size_t size) {                                                       \
    return project(JudgeCard<brand, checksum>(View(text, size)));                                                 \
  }                                                                                                               \
  void tessera_strings_##op(const char* data, const int32_t* offsets, size_t count, Answer* answers) {             \
    JudgeCards<brand, checksum>(Column<int32_t>{data, offsets, count}, answers, project);                         \
  }                                                                                                               \
  void tessera_large_strings_##op(const char* data, const int64_t* offsets, size_t count, Answer* answers) {       \
    JudgeCards<brand, checksum>(Column<int64_t>{data, offsets, count}, answers, project);                         \
  }

// The same for the answers on a day.
#define TESSERA_DATED_ANSWER(op, Answer, project)                                                                  \
  Answer tessera_text_##op(const char* text, size_t size, const tessera_date* day) {                              \
    return project(tessera::JudgeIdOn(View(text, size), Day(day)));                                                \
  }                                                                                                               \
  void tessera_strings_##op(const char* data, const int32_t* offsets, size_t count, const tessera_date* day,       \
                            Answer* answers) {                                                                    \
    JudgeIds(Column<int32_t>{data, offsets, count}, day, answers, project);                                       \
  }                                                                                                               \
  void tessera_large_strings_##op(const char* data, const int64_t* offsets, size_t count, const tessera_date* day, \
                                  Answer* answers) {                                                              \
    JudgeIds(Column<int64_t>{data, offsets, count}, day, answers, project);                                       \
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

TESSERA_CARD_ANSWER(is_amex, bool, true, false, kIsBrand<Brand::Amex>)
TESSERA_CARD_ANSWER(is_dc, bool, true, false, kIsBrand<Brand::DinersClub>)
TESSERA_CARD_ANSWER(is_disc, bool, true, false, kIsBrand<Brand::Discover>)
TESSERA_CARD_ANSWER(is_jcb, bool, true, false, kIsBrand<Brand::Jcb>)
TESSERA_CARD_ANSWER(is_mc, bool, true, false, kIsBrand<Brand::MasterCard>)
TESSERA_CARD_ANSWER(is_visa, bool, true, false, kIsBrand<Brand::Visa>)
TESSERA_CARD_ANSWER(check_organization, bool, true, false, kHasBrand)
TESSERA_CARD_ANSWER(check_number, bool, false, true, kChecksum)
TESSERA_CARD_ANSWER(check_card, bool, true, true, kValidCard)
TESSERA_CARD_ANSWER(card_brand, tessera_brand, true, false, kBrandCode)
TESSERA_CARD_ANSWER(card_verdict, tessera_card_verdict, true, true, kCardVerdict)

TESSERA_DATED_ANSWER(check_gpa_no_expired, bool, kUnexpired)
TESSERA_DATED_ANSWER(gpa_age, int32_t, kAge)
TESSERA_DATED_ANSWER(id_verdict, tessera_id_verdict, kIdVerdict)

bool tessera_text_check_gpa_no(const char* text, size_t size) { return tessera::CheckGPANo(View(text, size)); }
void tessera_strings_check_gpa_no(const char* data, const int32_t* offsets, size_t count, bool* answers) {
  CheckGpaNos(Column<int32_t>{data, offsets, count}, answers);
}
void tessera_large_strings_check_gpa_no(const char* data, const int64_t* offsets, size_t count, bool* answers) {
  CheckGpaNos(Column<int64_t>{data, offsets, count}, answers);
}

void tessera_text_mask_card(const char* text, size_t size, char* masked) {
  tessera::MaskCardNumber(View(text, size), masked);
}
void tessera_strings_mask_card(const char* data, const int32_t* offsets, size_t count, char* masked) {
  MaskCards(Column<int32_t>{data, offsets, count}, masked);
}
void tessera_large_strings_mask_card(const char* data, const int64_t* offsets, size_t count, char* masked) {
  MaskCards(Column<int64_t>{data, offsets, count}, masked);
}

}  // extern "C"
