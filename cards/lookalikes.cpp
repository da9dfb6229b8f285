// lookalikes.cpp -- escapes before a run of digits, and IBANs around one
#include "cards/lookalikes.h"

#include <algorithm>
#include <array>

namespace tessera {
namespace {

constexpr bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAlnum(char c) { return IsLetter(c) || IsDigit(c); }
constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

struct Iban {
  char code[3];
  uint8_t length;
};

// The SWIFT IBAN Registry: countries and the lengths of their IBANs.
constexpr Iban kIbans[] = {
    {"AD", 24}, {"AE", 23}, {"AL", 28}, {"AT", 20}, {"AZ", 28}, {"BA", 20}, {"BE", 16}, {"BG", 22}, {"BH", 22},
    {"BI", 27}, {"BR", 29}, {"BY", 28}, {"CH", 21}, {"CR", 22}, {"CY", 28}, {"CZ", 24}, {"DE", 22}, {"DJ", 27},
    {"DK", 18}, {"DO", 28}, {"EE", 20}, {"EG", 29}, {"ES", 24}, {"FI", 18}, {"FK", 18}, {"FO", 18}, {"FR", 27},
    {"GB", 22}, {"GE", 22}, {"GI", 23}, {"GL", 18}, {"GR", 27}, {"GT", 28}, {"HN", 28}, {"HR", 21}, {"HU", 28},
    {"IE", 22}, {"IL", 23}, {"IQ", 23}, {"IS", 26}, {"IT", 27}, {"JO", 30}, {"KW", 30}, {"KZ", 20}, {"LB", 28},
    {"LC", 32}, {"LI", 21}, {"LT", 20}, {"LU", 20}, {"LV", 21}, {"LY", 25}, {"MC", 27}, {"MD", 24}, {"ME", 22},
    {"MK", 19}, {"MN", 20}, {"MR", 27}, {"MT", 31}, {"MU", 30}, {"NI", 28}, {"NL", 18}, {"NO", 15}, {"OM", 23},
    {"PK", 24}, {"PL", 28}, {"PS", 29}, {"PT", 25}, {"QA", 29}, {"RO", 24}, {"RS", 22}, {"RU", 33}, {"SA", 24},
    {"SC", 31}, {"SD", 18}, {"SE", 24}, {"SI", 19}, {"SK", 24}, {"SM", 27}, {"SO", 23}, {"ST", 25}, {"SV", 28},
    {"TL", 23}, {"TN", 24}, {"TR", 26}, {"UA", 29}, {"VA", 22}, {"VG", 24}, {"XK", 20}, {"YE", 30},
};

constexpr std::size_t kLongestIban = 34;

}  // namespace

std::size_t EscapedDigits(Text before) {
  const std::size_t n = before.size();
  // The byte `back` places before the run: at(1) is the last of `before`.
  auto at = [&](std::size_t back) { return back <= n ? before[n - back] : '\0'; };
  auto hex_between = [&](std::size_t back) {  // at(1) to at(back - 1)
    for (std::size_t k = 1; k < back; ++k)
      if (!IsHex(at(k))) return false;
    return true;
  };
  // An introducer ending `back` bytes before the run leaves back - 1 of
  // its hex digits before it; the run's first digits are the rest.
  for (std::size_t back = 1; back <= 4; ++back)
    if (at(back + 1) == '\\' && at(back) == 'u' && hex_between(back)) return 5 - back;
  for (std::size_t back = 1; back <= 2; ++back)
    if (at(back + 1) == '\\' && at(back) == 'x' && hex_between(back)) return 3 - back;
  if (at(1) == '%') return 2;
  if (at(2) == '%' && IsHex(at(1)) && at(1) != 'B' && at(1) != 'b') return 1;
  // Character references: at most 7 decimal digits (1114111) or 6 hex.
  if (at(2) == '&' && at(1) == '#') return 7;
  for (std::size_t back = 1; back <= 6; ++back)
    if (at(back + 2) == '&' && at(back + 1) == '#' && (at(back) == 'x' || at(back) == 'X') && hex_between(back))
      return 7 - back;
  return 0;
}

std::size_t IbanLength(Text code) {
  if (code.size() < 2) return 0;
  const char a = Upper(code[0]), b = Upper(code[1]);
  for (const Iban& iban : kIbans)
    if (iban.code[0] == a && iban.code[1] == b) return iban.length;
  return 0;
}

bool WithinIban(Text text, std::size_t begin, std::size_t end) {
  // The country code begins the letters and digits, single spaces between,
  // that run back from the number, at most the longest IBAN with a space
  // every four.
  const std::size_t farthest = begin > kLongestIban + kLongestIban / 4 ? begin - kLongestIban - kLongestIban / 4 : 0;
  std::size_t earliest = begin;
  while (earliest > farthest &&
         (IsAlnum(text[earliest - 1]) || (text[earliest - 1] == ' ' && earliest >= 2 && IsAlnum(text[earliest - 2]) &&
                                          earliest < text.size() && IsAlnum(text[earliest]))))
    --earliest;
  for (std::size_t q = begin; q-- > earliest;) {
    if (q + 4 > text.size() || !IsLetter(text[q]) || !IsLetter(text[q + 1]) || !IsDigit(text[q + 2]) ||
        !IsDigit(text[q + 3]) || (q > 0 && IsAlnum(text[q - 1])))
      continue;
    const std::size_t length = IbanLength(text.substr(q, 2));
    if (length == 0) continue;
    // Written whole, or in groups of four with one space after each.
    const bool grouped = q + 5 < text.size() && text[q + 4] == ' ' && IsAlnum(text[q + 5]);
    std::array<char, kLongestIban> chars{};
    std::size_t count = 0, at = q;
    while (count < length && at < text.size() && IsAlnum(text[at])) {
      chars[count++] = Upper(text[at++]);
      if (!grouped || count % 4 != 0 || count == length) continue;
      if (at >= text.size() || text[at] != ' ') break;
      ++at;
    }
    if (count != length || (at < text.size() && IsAlnum(text[at])) || at < end) continue;
    // The country and check digits move to the end; letters count 10 to 35.
    uint32_t remainder = 0;
    for (std::size_t i = 0; i < length; ++i) {
      const char c = chars[(i + 4) % length];
      if (IsDigit(c)) {
        remainder = (remainder * 10 + static_cast<uint32_t>(c - '0')) % 97;
      } else {
        remainder = (remainder * 100 + static_cast<uint32_t>(c - 'A' + 10)) % 97;
      }
    }
    if (remainder == 1) return true;
  }
  return false;
}

}  // namespace tessera
