// scan_judge.cpp -- one number's judgement from the rules of lookalikes, key_context, test_numbers and track_data
#include "cards/scan_judge.h"

#include <algorithm>

#include "cards/lookalikes.h"
#include "cards/test_numbers.h"
#include "cards/track_data.h"

namespace tessera {

Judgement JudgeFinding(Text before, Text number, Text after, bool grouped, bool starts_chain) {
  Judgement j;
  std::array<char, 24> digits;
  std::size_t n = 0;
  for (char c : number)
    if (IsDigit(c) && n < digits.size()) digits[n++] = c;
  j.test = IsTestNumber(Text(digits.data(), n));
  if (!grouped) j.track = static_cast<uint8_t>(TrackOf(before, after));
  if (starts_chain) j.key = KeyBefore(before);

  std::array<char, 4 * kContext> around;
  const Text near_before = before.substr(before.size() - std::min(before.size(), kContext));
  const Text near_after = after.substr(0, std::min(after.size(), kContext));
  number = number.substr(0, around.size() - 2 * kContext);
  const std::size_t size = near_before.size() + number.size() + near_after.size();
  near_before.copy(around.data(), near_before.size());
  number.copy(around.data() + near_before.size(), number.size());
  near_after.copy(around.data() + near_before.size() + number.size(), near_after.size());
  const bool iban = WithinIban(Text(around.data(), size), near_before.size(), near_before.size() + number.size());

  if (j.track != 0) {
    j.reason = FindingReason::Track;
    return j;
  }
  if (iban) j.kept = KeptBack::Iban;
  else if (j.test) j.kept = KeptBack::Test;
  else if (j.key.kind == KeyKind::Other && !grouped) j.kept = KeptBack::Key;
  j.reason = j.key.kind == KeyKind::Card ? FindingReason::Key : grouped ? FindingReason::Layout : FindingReason::Plain;
  return j;
}

}  // namespace tessera
