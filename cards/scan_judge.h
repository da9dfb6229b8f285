// scan_judge.h -- the judgement of a number found in text: why it is reported, or which rule keeps it back
//
// A number the finder has taken (a printed layout or a run of digits, whose
// digits pass the brand table and the checksum) is judged by what stands
// around it, within kContext bytes on either side: the key it is the value
// of, an IBAN it is part of, track data it opens, and whether it is a
// published test number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "cards/key_context.h"
#include "base/field.h"

namespace tessera {

// Bytes looked at on either side of a number.
inline constexpr std::size_t kContext = 64;

enum class FindingReason : unsigned char {
  Plain,   // a run of digits by its length alone
  Layout,  // groups in a printed layout
  Key,     // the value of a key that names a card
  Track,   // it opens track data
};

// The rule that keeps a number back from the report by default.
enum class KeptBack : unsigned char {
  None,
  Iban,  // part of a valid IBAN
  Key,   // the value of a key that names another kind of number
  Test,  // a published test number
};

struct Judgement {
  FindingReason reason = FindingReason::Plain;
  KeptBack kept = KeptBack::None;
  uint8_t track = 0;  // 1 or 2, or 0 for none
  bool test = false;
  Key key;            // its name within `before`
};

// `number` as found (digits and separators), `grouped` when it has
// separators; `starts_chain` when no group is joined to it from before, so
// that a key before it is its own. Track data outranks every rule that
// keeps a number back; a card key and a layout outrank a key of another
// kind, not an IBAN or a test number.
Judgement JudgeFinding(Text before, Text number, Text after, bool grouped, bool starts_chain);

constexpr Text ReasonName(FindingReason reason) {
  constexpr Text kNames[] = {"plain", "layout", "key", "track"};
  return kNames[static_cast<std::size_t>(reason)];
}

constexpr Text KeptName(KeptBack kept) {
  constexpr Text kNames[] = {"", "iban", "key", "test"};
  return kNames[static_cast<std::size_t>(kept)];
}

}  // namespace tessera
