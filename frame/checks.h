// checks.h -- every check over text of known length: what the exports and the front ends call
//
// A text is a view of any bytes, NUL bytes included: every byte counts and
// nothing is cut at a NUL. A verdict holds every answer about one number,
// computed in one pass.
#pragma once

#include <cstddef>

#include "cards/brands.h"  // Brand, BrandOf, BrandName, CheckOrganization
#include "cards/card.h"    // CardVerdict, JudgeCard, CheckCard
#include "cards/luhn.h"    // CheckNumber, LuhnStream
#include "cards/mask.h"    // MaskCardNumber
#include "frame/field.h"
#include "frame/today.h"   // Date, LocalToday
#include "iddoc/dates.h"   // IdVerdict, JudgeId, IsUnexpired, AgeOn
#include "iddoc/gpa.h"     // CheckGPANo

namespace tessera {

// Callers of the *Padded forms guarantee that this many bytes past the end
// of the view are readable (their own read buffers, padded for it), so the
// checks may load whole vectors there without first measuring the text.
inline constexpr std::size_t kPadding = 64;

}  // namespace tessera
