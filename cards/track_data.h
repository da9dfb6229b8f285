// track_data.h -- magnetic-stripe track data: the records a card number opens, which may never be stored
#pragma once

#include "base/field.h"

namespace tessera {

// 1 when the number between `before` and `after` opens a track 1 record
// (`%B` before it, `^` after it: %B<number>^NAME^YYMM...?), 2 when it opens a
// track 2 record (`=` and the four digits of the expiry date after it, the
// `;` before it or not: ;<number>=YYMM...?), else 0.
constexpr int TrackOf(Text before, Text after) {
  if (before.ends_with("%B") && after.starts_with('^')) return 1;
  if (after.size() >= 5 && after[0] == '=' && IsDigit(after[1]) && IsDigit(after[2]) && IsDigit(after[3]) &&
      IsDigit(after[4]))
    return 2;
  return 0;
}

}  // namespace tessera
