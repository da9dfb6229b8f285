// key_context.cpp -- keys before a number, and the words that name cards and other numbers
#include "cards/key_context.h"

#include <algorithm>
#include <array>

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
    "card", "cards", "cardno", "cardnum", "cardnumber", "cc", "ccn", "ccnum", "creditcard", "debitcard", "pan",
    "karte", "kartennummer", "carte", "tarjeta", "cartao",
};

// Words of keys that name another kind of number, as application logs,
// traces and exports carry them.
constexpr Text kOtherWords[] = {
    // identifiers
    "id", "ids", "uid", "uuid", "guid", "oid", "ref",
    // devices and telephony
    "imei", "imeisv", "meid", "esn", "iccid", "imsi", "msisdn", "serial", "sn", "phone", "tel", "telephone", "mobile",
    "cell", "fax",
    // time
    "timestamp", "ts", "time", "epoch", "date", "datetime", "created", "updated", "modified", "expires", "ms",
    "millis", "micros", "nanos",
    // tracing
    "trace", "traceid", "span", "spanid", "parent", "request", "req", "correlation", "session", "event", "job",
    // commerce
    "order", "invoice", "receipt", "transaction", "txn", "tracking", "shipment", "parcel", "sku", "ean", "gtin",
    "upc", "isbn",
    // banking
    "iban", "bban", "account", "acct", "routing", "aba", "swift", "bic",
    // counts and sequences
    "seq", "sequence", "offset", "nonce", "counter", "version", "build", "checksum", "hash", "crc", "port", "pid",
    "zip", "postcode",
};

bool SameWord(Text word, Text known) {
  if (word.size() != known.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if ((IsUpper(word[i]) ? static_cast<char>(word[i] - 'A' + 'a') : word[i]) != known[i]) return false;
  return true;
}

}  // namespace

KeyKind KindOfKey(Text name) {
  bool card = false, other = false;
  auto judge = [&](Text word) {
    if (word.empty()) return;
    card = card || std::ranges::any_of(kCardWords, [&](Text w) { return SameWord(word, w); });
    other = other || std::ranges::any_of(kOtherWords, [&](Text w) { return SameWord(word, w); });
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
  auto skip = [&](bool (*what)(char), std::size_t most) {
    std::size_t n = 0;
    while (end > 0 && n < most && what(before[end - 1])) --end, ++n;
    return n;
  };
  const std::size_t quotes = skip(IsQuote, 3);
  const std::size_t blanks = skip(IsBlank, 3);
  char delimiter = '\0';
  if (end > 0 && (before[end - 1] == '=' || before[end - 1] == ':' || before[end - 1] == '>')) {
    delimiter = before[--end];
    skip(IsBlank, 3);
    skip(IsQuote, 3);
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
