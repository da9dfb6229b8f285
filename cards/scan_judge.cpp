// scan_judge.cpp -- one number's judgement from the rules of lookalikes, key_context, test_numbers and track_data
#include "cards/scan_judge.h"

#include <algorithm>

#include "cards/lookalikes.h"
#include "cards/test_numbers.h"
#include "cards/track_data.h"

namespace tessera {
namespace {

constexpr bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether the number lies inside an IBAN: one holding it begins before it
// with letters and digits, single spaces between, so the byte before the
// number is one of them.
bool InIban(Text before, Text number, Text after) {
  if (before.empty() || !(IsAlnum(before.back()) || before.back() == ' ')) return false;
  std::array<char, 4 * kContext> around;
  before = before.substr(before.size() - std::min(before.size(), kContext));
  after = after.substr(0, std::min(after.size(), kContext));
  number = number.substr(0, around.size() - 2 * kContext);
  before.copy(around.data(), before.size());
  number.copy(around.data() + before.size(), number.size());
  after.copy(around.data() + before.size() + number.size(), after.size());
  return WithinIban(Text(around.data(), before.size() + number.size() + after.size()), before.size(),
                    before.size() + number.size());
}

}  // namespace

Judgement JudgeFinding(Text before, Text number, Text after, bool grouped, bool starts_chain) {
  Judgement j;
  uint64_t value = 0;
  std::size_t digits = 0;
  for (char c : number)
    if (IsDigit(c)) value = value * 10 + static_cast<uint64_t>(c - '0'), ++digits;
  j.test = digits >= 13 && digits <= 19 && IsTestNumber(value, digits);
  if (!grouped) j.track = static_cast<uint8_t>(TrackOf(before, after));
  if (starts_chain) j.key = KeyBefore(before);
  if (j.track != 0) {
    j.reason = FindingReason::Track;
    return j;
  }
  if (InIban(before, number, after)) j.kept = KeptBack::Iban;
  else if (j.test) j.kept = KeptBack::Test;
  else if (j.key.kind == KeyKind::Other && !grouped) j.kept = KeptBack::Key;
  j.reason = j.key.kind == KeyKind::Card ? FindingReason::Key : grouped ? FindingReason::Layout : FindingReason::Plain;
  return j;
}

}  // namespace tessera
