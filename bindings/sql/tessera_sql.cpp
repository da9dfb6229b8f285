// tessera_sql.cpp -- the C face of the checks that the database extensions call
#include "tessera_sql.h"

#include <iterator>
#include <utility>

#include "frame/checks.h"

namespace {

using tessera::Brand;
using tessera::Text;

Text View(const char* text, size_t size) { return size == 0 ? Text() : Text(text, size); }

tessera::Date ToDate(tessera_sql_date date) { return {date.year, date.month, date.day}; }

// The C names stand for the core's brands one for one.
constexpr bool SameBrands() {
  constexpr std::pair<tessera_sql_brand, Brand> kPairs[] = {
      {TESSERA_SQL_NO_BRAND, Brand::None},     {TESSERA_SQL_AMEX, Brand::Amex},
      {TESSERA_SQL_DINERS_CLUB, Brand::DinersClub}, {TESSERA_SQL_DISCOVER, Brand::Discover},
      {TESSERA_SQL_JCB, Brand::Jcb},           {TESSERA_SQL_MASTERCARD, Brand::MasterCard},
      {TESSERA_SQL_VISA, Brand::Visa}};
  for (const auto& [c, core] : kPairs)
    if (static_cast<int>(c) != static_cast<int>(core)) return false;
  return std::size(kPairs) == tessera::kBrandCount;
}
static_assert(SameBrands());

}  // namespace

extern "C" {

const size_t tessera_sql_longest_card = tessera::kLongestCard;
const size_t tessera_sql_gpa_length = tessera::kGpaLength;
const int32_t tessera_sql_latest_year = tessera::kLatestYear;

tessera_sql_brand tessera_sql_brand_of(const char* text, size_t size) {
  return static_cast<tessera_sql_brand>(tessera::BrandOf(View(text, size)));
}

const char* tessera_sql_brand_name(tessera_sql_brand brand, size_t* size) {
  if (brand == TESSERA_SQL_NO_BRAND) return nullptr;
  const Text name = tessera::BrandName(static_cast<Brand>(brand));
  *size = name.size();
  return name.data();
}

bool tessera_sql_check_organization(const char* text, size_t size) {
  return tessera::CheckOrganization(View(text, size));
}

bool tessera_sql_check_number(const char* text, size_t size) { return tessera::CheckNumber(View(text, size)); }

bool tessera_sql_check_card(const char* text, size_t size) { return tessera::CheckCard(View(text, size)); }

bool tessera_sql_check_gpa_no(const char* text, size_t size) { return tessera::CheckGPANo(View(text, size)); }

bool tessera_sql_representable(tessera_sql_date date) { return tessera::IsRepresentable(ToDate(date)); }

bool tessera_sql_local_today(tessera_sql_date* today) {
  const auto local = tessera::LocalToday();
  if (!local) return false;
  *today = {local->year, local->month, local->day};
  return true;
}

tessera_sql_id_verdict tessera_sql_judge_id(const char* text, size_t size, tessera_sql_date today) {
  const tessera::IdVerdict verdict = tessera::JudgeId(View(text, size), ToDate(today));
  return {verdict.check_digits, verdict.unexpired, verdict.age};
}

void tessera_sql_mask_card(const char* text, size_t size, char* out) {
  if (size != 0) tessera::MaskCardNumber(View(text, size), out);
}

}  // extern "C"
