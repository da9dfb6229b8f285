// key_context.h -- the key or field a number is the value of, and what kind of number that key names
//
// Logs carry numbers as values of keys: imei=356938035643809,
// "trace_id":"4bf92f...", <card>4111...</card>. A key that names a card
// labels the number as one; a key that names another kind of number (the
// lists are in key_context.cpp and docs/scan.md) says it is not a card.
#pragma once

#include <cstddef>

#include "base/field.h"

namespace tessera {

enum class KeyKind : unsigned char {
  None,     // no key before the number
  Card,     // a word of the key names a card: card, pan, cc, ...
  Other,    // a word names another kind of number: imei, order, trace, ...
  Neutral,  // a key that names neither
};

struct Key {
  KeyKind kind = KeyKind::None;
  Text name;  // within the text given to KeyBefore
};

inline constexpr std::size_t kLongestKey = 40;

// The key whose value begins right after `before`: `name=`, `name: `,
// `"name": "`, `name = '`, `<name>`, a path's `/name/` and their like, or
// one word and one space (`IMEI 3569...`) when the word names a card or
// another kind of number; the value may begin with a sign or up to four
// letters (`"msisdn":"+4917...`, `"order":"ORD1234...`). Looks at the last
// 64 bytes of `before` at most.
Key KeyBefore(Text before);

// The kind of number a key names, by its words: split at '_', '-', '.'
// and where a lower-case letter meets a capital (traceId), in any case, a
// plural's "s" taken off.
KeyKind KindOfKey(Text name);

}  // namespace tessera
