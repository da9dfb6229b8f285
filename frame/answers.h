// answers.h -- each operation of frame/operations.h as the rules answer it, one row each
//
// The exports (exports.cpp) and tessera_text.h (tessera_text.cpp) are made
// from the table of operations and these rows, by the operations' names. A
// card operation names the parts of the card verdict it needs, so that the
// other is not computed, and what it takes from them; a dated one what it
// takes from the id verdict on its day. The answers are C's types.
#pragma once

#include "frame/checks.h"
#include "tessera_text.h"

namespace tessera::answers {

// The card verdict of one text, with the brand or the checksum left out
// where the answer needs only the other.
template <bool kBrand, bool kChecksum>
CardVerdict JudgeCardParts(Text text) {
  return {kBrand ? BrandOf(text) : Brand::None, kChecksum && CheckNumber(text)};
}

template <bool kNeedsBrand, bool kNeedsChecksum, auto kTake>
struct FromCard {
  static constexpr bool kBrand = kNeedsBrand, kChecksum = kNeedsChecksum;
  static constexpr auto Take = kTake;
  static auto One(Text text) { return kTake(JudgeCardParts<kBrand, kChecksum>(text)); }
};

// `today()` gives the day as a std::optional<Date>; it is asked only for a
// number whose check digits are right.
template <auto kTake>
struct FromId {
  static constexpr auto Take = kTake;
  template <class Today>
  static auto One(Text text, Today&& today) {
    return kTake(JudgeIdOn(text, today));
  }
};

struct FromGpaLayout {
  static bool One(Text text) { return CheckGPANo(text); }
};

// Writes text.size() bytes to `masked`.
struct Masked {
  static void One(Text text, char* masked) { MaskCardNumber(text, masked); }
};

// What the answers take from the verdicts.
template <Brand kBrand>
constexpr bool IsBrand(CardVerdict v) { return v.brand == kBrand; }
constexpr bool HasBrand(CardVerdict v) { return v.brand != Brand::None; }
constexpr bool PassesChecksum(CardVerdict v) { return v.checksum; }
constexpr bool IsValid(CardVerdict v) { return v.valid(); }
constexpr tessera_brand BrandCode(CardVerdict v) { return static_cast<tessera_brand>(v.brand); }
constexpr tessera_card_verdict CardVerdictOf(CardVerdict v) {
  return {v.valid(), static_cast<tessera_brand>(v.brand), v.checksum};
}
constexpr bool Unexpired(IdVerdict v) { return v.unexpired; }
constexpr int32_t Age(IdVerdict v) { return v.age; }
constexpr tessera_id_verdict IdVerdictOf(IdVerdict v) { return {v.valid(), v.check_digits, v.unexpired, v.age}; }

using is_amex = FromCard<true, false, IsBrand<Brand::Amex>>;
using is_dc = FromCard<true, false, IsBrand<Brand::DinersClub>>;
using is_disc = FromCard<true, false, IsBrand<Brand::Discover>>;
using is_jcb = FromCard<true, false, IsBrand<Brand::Jcb>>;
using is_mc = FromCard<true, false, IsBrand<Brand::MasterCard>>;
using is_visa = FromCard<true, false, IsBrand<Brand::Visa>>;
using check_organization = FromCard<true, false, HasBrand>;
using check_number = FromCard<false, true, PassesChecksum>;
using check_card = FromCard<true, true, IsValid>;
using check_gpa_no = FromGpaLayout;
using check_gpa_no_expired = FromId<Unexpired>;
using gpa_age = FromId<Age>;
using card_brand = FromCard<true, false, BrandCode>;
using card_verdict = FromCard<true, true, CardVerdictOf>;
using id_verdict = FromId<IdVerdictOf>;
using mask_card = Masked;

}  // namespace tessera::answers
