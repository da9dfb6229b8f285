// checks.h -- every check over text of known length: what the exports and the front ends call
//
// A text is a view of any bytes, NUL bytes included: every byte counts and
// nothing is cut at a NUL. A verdict holds every answer about one number,
// computed in one pass. The *Padded forms take a PaddedText, which may be
// read past its end.
#pragma once

#include "base/field.h"
#include "base/padded.h"   // PaddedText, kPadding
#include "base/today.h"    // Date, LocalToday
#include "cards/brands.h"  // Brand, BrandOf, BrandName, CheckOrganization
#include "cards/card.h"    // CardVerdict, JudgeCard, CheckCard
#include "cards/luhn.h"    // CheckNumber, LuhnStream
#include "cards/mask.h"    // MaskCardNumber
#include "iddoc/dates.h"   // IdVerdict, JudgeId, JudgeIdToday
#include "iddoc/gpa.h"     // CheckGPANo
