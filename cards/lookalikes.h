// lookalikes.h -- digits that look like a card number's and are not: escapes and IBANs
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/field.h"

namespace tessera {

// The escapes whose hex digits are taken for characters, not for digits of a
// number: `\u` and up to four hex digits, `\x` and up to two, `%` and up to
// two, and character references: `&#` and up to seven digits, `&#x` and up
// to six hex digits. "%B" followed by a digit is no escape: it opens track 1
// data.
//
// A run of digits begins right after `before`; returns how many of its
// first digits (at most) belong to an escape that begins in `before`. Only
// `before` is looked at (its last ten bytes), so the answer never waits for
// bytes still to come.
std::size_t EscapedDigits(Text before);

// The length of an IBAN of the country whose two-letter code begins
// `code` (either case), or 0 for a country without IBANs.
std::size_t IbanLength(Text code);

// Whether the bytes [begin, end) of `text` lie inside an IBAN in it: two
// letters of a country with IBANs, two check digits, then letters and
// digits to the country's length, written whole or in groups of four
// joined by single spaces, not run on by another letter or digit, and whose
// number is 1 modulo 97 (ISO 13616).
bool WithinIban(Text text, std::size_t begin, std::size_t end);

}  // namespace tessera
