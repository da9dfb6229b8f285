// exports.cpp -- the exported C interface: a thin frame around the checks
//
// Each export takes a read-only view of the caller's text (null is the empty
// text), runs its check, and turns yes into -1. Nothing is copied or
// allocated and nothing is kept between calls.
#include "tessera.h"

#include <cstdint>
#include <cstring>

#include "cards/card.h"
#include "frame/field.h"
#include "frame/today.h"
#include "iddoc/dates.h"
#include "iddoc/gpa.h"

namespace {

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

}  // namespace

extern "C" {

int32_t TESSERA_CALL IsAmex(const char* text) { return Truth(tessera::IsAmex(CardView(text))); }
int32_t TESSERA_CALL IsDC(const char* text) { return Truth(tessera::IsDC(CardView(text))); }
int32_t TESSERA_CALL IsDisc(const char* text) { return Truth(tessera::IsDisc(CardView(text))); }
int32_t TESSERA_CALL IsJCB(const char* text) { return Truth(tessera::IsJCB(CardView(text))); }
int32_t TESSERA_CALL IsMC(const char* text) { return Truth(tessera::IsMC(CardView(text))); }
int32_t TESSERA_CALL IsVisa(const char* text) { return Truth(tessera::IsVisa(CardView(text))); }
int32_t TESSERA_CALL CheckOrganization(const char* text) { return Truth(tessera::CheckOrganization(CardView(text))); }
int32_t TESSERA_CALL CheckNumber(const char* text) { return Truth(tessera::CheckNumber(View(text))); }
// A text with a brand is never longer than the view, so the checksum sees it whole.
int32_t TESSERA_CALL CheckCard(const char* text) { return Truth(tessera::CheckCard(CardView(text))); }
int32_t TESSERA_CALL CheckGPANo(const char* text) { return Truth(tessera::CheckGPANo(GpaView(text))); }

// The clock is read only for numbers that can have a date.
int32_t TESSERA_CALL CheckGPANoExpired(const char* text) {
  const Text number = GpaView(text);
  return Truth(tessera::CheckGPANo(number) && tessera::CheckGPANoExpired(number, tessera::LocalToday()));
}

int32_t TESSERA_CALL CheckGPANoAge(const char* text) {
  const Text number = GpaView(text);
  return tessera::CheckGPANo(number) ? tessera::CheckGPANoAge(number, tessera::LocalToday()) : 0;
}

}  // extern "C"
