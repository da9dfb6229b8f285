// dates.h -- what the dates printed in a GPA number say about today
#pragma once

#include <cstdint>

#include "frame/field.h"
#include "frame/today.h"

namespace tessera {

// Yes while the document is still valid on `today`, the expiry day itself
// included: despite the name, yes means "not expired".
bool CheckGPANoExpired(Text text, Date today);

// The holder's age in whole years from the two-digit birth year alone,
// 1 to 100 for digit years; 0 when the number is not valid.
int32_t CheckGPANoAge(Text text, Date today);

}  // namespace tessera
