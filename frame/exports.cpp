// exports.cpp -- the exported C interface: a thin frame around the checks
//
// Each export takes a read-only view of the caller's text (null is the empty
// text), runs its check, and turns yes into -1. Nothing is copied or
// allocated and nothing is kept between calls.
#include "tessera.h"

#include <cstdint>

#include "cards/card.h"
#include "frame/field.h"
#include "frame/today.h"
#include "iddoc/dates.h"
#include "iddoc/gpa.h"

namespace {

tessera::Text View(const char* text) { return text ? tessera::Text(text) : tessera::Text(); }

constexpr int32_t Truth(bool yes) { return yes ? -1 : 0; }

}  // namespace

extern "C" {

int32_t TESSERA_CALL IsAmex(const char* text) { return Truth(tessera::IsAmex(View(text))); }
int32_t TESSERA_CALL IsDC(const char* text) { return Truth(tessera::IsDC(View(text))); }
int32_t TESSERA_CALL IsDisc(const char* text) { return Truth(tessera::IsDisc(View(text))); }
int32_t TESSERA_CALL IsJCB(const char* text) { return Truth(tessera::IsJCB(View(text))); }
int32_t TESSERA_CALL IsMC(const char* text) { return Truth(tessera::IsMC(View(text))); }
int32_t TESSERA_CALL IsVisa(const char* text) { return Truth(tessera::IsVisa(View(text))); }
int32_t TESSERA_CALL CheckOrganization(const char* text) { return Truth(tessera::CheckOrganization(View(text))); }
int32_t TESSERA_CALL CheckNumber(const char* text) { return Truth(tessera::CheckNumber(View(text))); }
int32_t TESSERA_CALL CheckCard(const char* text) { return Truth(tessera::CheckCard(View(text))); }
int32_t TESSERA_CALL CheckGPANo(const char* text) { return Truth(tessera::CheckGPANo(View(text))); }

int32_t TESSERA_CALL CheckGPANoExpired(const char* text) {
  return Truth(tessera::CheckGPANoExpired(View(text), tessera::LocalToday()));
}

int32_t TESSERA_CALL CheckGPANoAge(const char* text) {
  return tessera::CheckGPANoAge(View(text), tessera::LocalToday());
}

}  // extern "C"
