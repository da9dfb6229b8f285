// exports.cpp -- the exported C interface: a thin frame around the checks
//
// Each export takes a read-only view of the caller's text (null is the empty
// text), asks the checks once, and turns yes into -1. Nothing is copied or
// allocated and nothing is kept between calls.
#include "tessera.h"

#include <cstdint>
#include <cstring>

#include "frame/checks.h"

namespace {

using tessera::Brand;
using tessera::Text;

Text View(const char* text) { return text ? Text(text) : Text(); }

// Brand and GPA checks answer no for every text longer than the longest they
// accept, so the frame measures only up to one character past that: a
// megabyte costs them no more than a short text.
template <std::size_t Longest>
Text ViewUpTo(const char* text) {
  return text ? Text(text, strnlen(text, Longest + 1)) : Text();
}

constexpr auto CardView = ViewUpTo<tessera::kLongestCard>;
constexpr auto GpaView = ViewUpTo<tessera::kGpaLength>;

constexpr int32_t Truth(bool yes) { return -static_cast<int32_t>(yes); }

int32_t IsBrand(const char* text, Brand brand) { return Truth(tessera::BrandOf(CardView(text)) == brand); }

}  // namespace

extern "C" {

int32_t TESSERA_CALL IsAmex(const char* text) { return IsBrand(text, Brand::Amex); }
int32_t TESSERA_CALL IsDC(const char* text) { return IsBrand(text, Brand::DinersClub); }
int32_t TESSERA_CALL IsDisc(const char* text) { return IsBrand(text, Brand::Discover); }
int32_t TESSERA_CALL IsJCB(const char* text) { return IsBrand(text, Brand::Jcb); }
int32_t TESSERA_CALL IsMC(const char* text) { return IsBrand(text, Brand::MasterCard); }
int32_t TESSERA_CALL IsVisa(const char* text) { return IsBrand(text, Brand::Visa); }
int32_t TESSERA_CALL CheckOrganization(const char* text) { return Truth(tessera::CheckOrganization(CardView(text))); }
int32_t TESSERA_CALL CheckNumber(const char* text) { return Truth(tessera::CheckNumber(View(text))); }
// A text with a brand is never longer than the view, so the checksum sees it whole.
int32_t TESSERA_CALL CheckCard(const char* text) { return Truth(tessera::CheckCard(CardView(text))); }
int32_t TESSERA_CALL CheckGPANo(const char* text) { return Truth(tessera::CheckGPANo(GpaView(text))); }

int32_t TESSERA_CALL CheckGPANoExpired(const char* text) { return Truth(tessera::JudgeIdToday(GpaView(text)).unexpired); }
int32_t TESSERA_CALL CheckGPANoAge(const char* text) { return tessera::JudgeIdToday(GpaView(text)).age; }

}  // extern "C"
