// key_context.cpp -- keys before a number, and the words that name cards and other numbers
#include "cards/key_context.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessera {
namespace {

constexpr bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
constexpr bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool IsNameByte(char c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '-' || c == '.'; }
constexpr bool IsQuote(char c) { return c == '"' || c == '\'' || c == '\\'; }
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Words of keys that name a card number.
constexpr Text kCardWords[] = {
    "card", "cardno", "cardnum", "cardnumber", "cartao", "carte", "cc", "ccn", "ccnum", "creditcard",
    "debitcard", "karte", "kartennummer", "pan", "tarjeta",
};

// Words of keys that name another kind of number, as application logs,
// traces and exports carry them: identifiers, devices and telephony, time,
// tracing, commerce, banking, counts and sequences.
constexpr Text kOtherWords[] = {
    "aba", "account", "acct", "bban", "bic", "build", "cell", "checksum", "correlation", "counter", "crc", "cursor",
    "created", "date", "datetime", "ean", "epoch", "esn", "event", "expires", "fax", "gtin", "guid", "hash", "iban",
    "iccid", "id", "imei", "imeisv", "imsi", "invoice", "isbn", "job", "meid", "micros", "millis", "mobile",
    "modified", "ms", "msisdn", "nanos", "nonce", "offset", "oid", "order", "parcel", "parent", "phone", "pid",
    "port", "postcode", "receipt", "ref", "reference", "req", "request", "routing", "seq", "sequence", "serial", "session",
    "shipment", "sku", "sn", "span", "spanid", "swift", "tel", "telephone", "time", "timestamp", "trace", "traceid",
    "token", "tracking", "transaction", "ts", "txn", "uid", "upc", "updated", "uuid", "version", "zip",
};

constexpr std::size_t kLongestWord = 16;

// Both lists in one open-addressed table of lower-case words, looked up by
// a hash of the word: a key is judged for every number that passes the
// checksum, so a look-up should be a few loads.
constexpr uint32_t HashOf(Text word) {
  uint32_t h = 2166136261u;
  for (char c : word) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

struct WordSlot {
  Text word;
  KeyKind kind;
};

constexpr std::size_t kSlots = 256;

constexpr std::array<WordSlot, kSlots> kWordTable = [] {
  std::array<WordSlot, kSlots> table{};
  auto put = [&](Text word, KeyKind kind) {
    std::size_t at = HashOf(word) % kSlots;
    while (!table[at].word.empty()) at = (at + 1) % kSlots;
    table[at] = {word, kind};
  };
  for (Text word : kCardWords) put(word, KeyKind::Card);
  for (Text word : kOtherWords) put(word, KeyKind::Other);
  return table;
}();

static_assert(std::size(kCardWords) + std::size(kOtherWords) < kSlots / 2, "the table stays sparse");

// The kind `word` (any case) names, or Neutral; a plural's final "s" may go.
KeyKind KindOfWord(Text word) {
  std::array<char, kLongestWord> lower;
  if (word.empty() || word.size() > lower.size()) return KeyKind::Neutral;
  for (std::size_t i = 0; i < word.size(); ++i)
    lower[i] = static_cast<char>(IsUpper(word[i]) ? word[i] - 'A' + 'a' : word[i]);
  Text w(lower.data(), word.size());
  for (int tries = 0; tries < 2; ++tries) {
    for (std::size_t at = HashOf(w) % kSlots; !kWordTable[at].word.empty(); at = (at + 1) % kSlots)
      if (kWordTable[at].word == w) return kWordTable[at].kind;
    if (w.size() <= 2 || w.back() != 's') break;
    w.remove_suffix(1);
  }
  return KeyKind::Neutral;
}

}  // namespace

KeyKind KindOfKey(Text name) {
  bool card = false, other = false;
  auto judge = [&](Text word) {
    const KeyKind kind = KindOfWord(word);
    card = card || kind == KeyKind::Card;
    other = other || kind == KeyKind::Other;
  };
  std::size_t from = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    const bool end = i == name.size();
    if (end || name[i] == '_' || name[i] == '-' || name[i] == '.') {
      judge(name.substr(from, i - from));
      from = i + 1;
    } else if (i > from && IsLower(name[i - 1]) && IsUpper(name[i])) {
      judge(name.substr(from, i - from));
      from = i;
    }
  }
  return card ? KeyKind::Card : other ? KeyKind::Other : KeyKind::Neutral;
}

Key KeyBefore(Text before) {
  if (before.size() > 64) before = before.substr(before.size() - 64);
  std::size_t end = before.size();
  auto skip = [&](auto what, std::size_t most) {
    std::size_t n = 0;
    while (end > 0 && n < most && what(before[end - 1])) --end, ++n;
    return n;
  };
  // The value's own beginning: a few letters ("ORD1234...") or a sign ("+4917...").
  skip([](char c) { return IsLetter(c); }, 4);
  skip([](char c) { return c == '+'; }, 1);
  const std::size_t quotes = skip([](char c) { return IsQuote(c); }, 3);
  const std::size_t blanks = skip([](char c) { return IsBlank(c); }, 3);
  char delimiter = '\0';
  if (end > 0 && (before[end - 1] == '=' || before[end - 1] == ':' || before[end - 1] == '>' || before[end - 1] == '/')) {
    delimiter = before[--end];
    skip([](char c) { return IsBlank(c); }, 3);
    skip([](char c) { return IsQuote(c); }, 3);
  } else if (quotes != 0 || blanks != 1) {
    return {};
  }
  std::size_t name_end = end;
  if (delimiter == '>') {
    // <name attribute="...">: the name follows the '<'.
    const std::size_t open = before.substr(0, end).rfind('<');
    if (open == Text::npos || before.substr(open, end - open).find('>') != Text::npos) return {};
    end = open + 1;
    name_end = end;
    while (name_end < before.size() && IsNameByte(before[name_end])) ++name_end;
  } else {
    while (end > 0 && name_end - end < kLongestKey && IsNameByte(before[end - 1])) --end;
  }
  const Text name = before.substr(end, name_end - end);
  if (name.empty() || name.size() > kLongestKey || !std::ranges::any_of(name, IsLetter)) return {};
  // A name cut at the window's start, or run on from other bytes, is no name.
  if (delimiter != '>' && end > 0 && IsNameByte(before[end - 1])) return {};
  const KeyKind kind = KindOfKey(name);
  if (delimiter == '\0' && kind == KeyKind::Neutral) return {};
  return {kind, name};
}

}  // namespace tessera
