// format.h -- one record interface, and an output format over it per module
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frame/checks.h"
#include "tool/records.h"
#include "tool/writer.h"

namespace tessera::tool {

enum class Verdict : unsigned char {
  kValid,
  kInvalid,
  kEmpty,  // nothing to judge: the field is empty or only blanks, or missing
};

// An input's name, escaped once for each kind of output.
struct InputName {
  explicit InputName(std::string_view name);
  std::string text;  // Quoting::Text
  std::string json;  // a JSON value: JsonPath()
  std::string csv;   // Quoting::Text, in quotes where CSV needs them
};

// The number as it is shown: possibly a masked copy, or only the first
// bytes of a field too long to hold.
struct Shown {
  Text bytes;      // followed by kPadding readable bytes, unless shortened
  uint64_t size;   // of the whole field
  bool shortened;  // `bytes` are its first bytes only
};

// Why an invalid number may be so, where its text says more than its
// verdict: the reason a person can act on.
enum class Hint : unsigned char {
  kNone,
  kBlanks,      // blanks (spaces, tabs) before or after the number
  kScientific,  // a spreadsheet's scientific notation ("4.11111E+15"): digits lost
};

// As TSV, CSV and JSON give it, and in words for text.
std::string_view HintCode(Hint hint);
std::string_view HintWords(Hint hint);

// A field of the record carried to the output (--keep).
struct KeptField {
  std::string bytes;  // the field, or its first bytes when `shortened`
  uint64_t size = 0;
  bool shortened = false;
  bool present = false;  // the record has the field
};

struct Where {
  const InputName* input;
  uint64_t line;    // where the record starts, from 1
  uint64_t record;  // its place among the records of the input, from 1, the header not counted
  std::span<const KeptField> kept;
};

struct CardRecord {
  Where where;
  Shown number;
  Verdict verdict;
  CardVerdict card;  // only for kValid and kInvalid
  Hint hint;         // only for kInvalid
};

struct IdRecord {
  Where where;
  Shown number;
  Verdict verdict;
  IdVerdict id;  // only for kValid and kInvalid; the dates only when the check digits are right
  Hint hint;     // only for kInvalid
};

// Every format is a class of its own module (format_text.h, format_tsv.h,
// format_csv.h, format_json.h) with the same members, which the commands take as a
// template parameter so that a record's output is inlined into the loop:
//
//   Format(Writer& out, const FormatOptions& options);
//   void Begin();                     // before the first record: a header row, if any
//   void Card(const CardRecord& record);
//   void Id(const IdRecord& record);

struct FormatOptions {
  bool line_numbers = false;
  bool header_row = false;
  bool id = false;  // the header row names the id columns
  std::vector<std::string> kept;         // the columns of --keep, as given
  BrandTable brands = BrandTable::Seed;  // whose names are shown
};

// A decimal number.
inline void PutCount(Writer& out, uint64_t n) {
  char* at = out.Room(20);
  out.Advance(static_cast<std::size_t>(std::to_chars(at, at + 20, n).ptr - at));
}

void PutLongNumber(Writer& out, const Shown& number, Quoting quoting);

// A field of the record as it is shown, escaped, with the mark of a shortened one.
void PutKept(Writer& out, const KeptField& field, Quoting quoting);

// The header row of TSV and CSV (`between` the columns), without its line end.
std::string HeaderRow(const FormatOptions& options, char between);

// A field for CSV: escaped, and in quotes (any quote doubled) when it holds
// a comma or a quote, as RFC 4180 has it; a shortened one with its mark.
void PutCsvField(Writer& out, std::string_view bytes, bool shortened = false, uint64_t size = 0);

// The number, escaped, with the mark of a shortened field
// ("\[...N bytes]"), which no escaped input can produce.
TESSERA_INLINE void PutNumber(Writer& out, const Shown& number, Quoting quoting) {
  const Text bytes = number.bytes;
  // Numbers are short: copied whole, escaped only where they must be.
  if (bytes.size() <= 256 && !number.shortened) {
    char* at = out.Room(std::max<std::size_t>(16, bytes.size() * kEscapeGrowth));
    if (IsPlainPadded(bytes, quoting)) {
      // Whole 16-byte blocks: the padding after the number is readable, and
      // the room asked for is at least as large.
      if (bytes.size() <= 16) {
        std::memcpy(at, bytes.data(), 16);
      } else {
        std::memcpy(at, bytes.data(), bytes.size());
      }
      out.Advance(bytes.size());
    } else {
      out.Advance(static_cast<std::size_t>(EscapeTo(bytes, quoting, at) - at));
    }
  } else {
    PutLongNumber(out, number, quoting);
  }
}

// What follows the number on a card line in the text and TSV formats,
// made once per brand and checksum answer and copied as one fixed-size
// block, so that its varying length costs no branch.
struct Ending {
  std::array<char, 64> text{};
  std::size_t size = 0;
};

Ending MakeEnding(std::string_view text);

inline void PutEnding(Writer& out, const Ending& ending) {
  std::memcpy(out.Room(ending.text.size()), ending.text.data(), ending.text.size());
  out.Advance(ending.size);
}

inline std::size_t EndingIndex(const CardVerdict& v) {
  return static_cast<std::size_t>(v.brand) * 2 + (v.checksum ? 1 : 0);
}

// Most card records: a judged number of at most 16 plain bytes and its
// ending, written with one request for room and two fixed-size copies.
// False when the number is not of that kind.
TESSERA_INLINE bool PutShortPlainCard(Writer& out, Text bytes, const CardVerdict& card,
                                      const std::array<Ending, 2 * kBrandKinds>& endings) {
  if (bytes.size() > 16 || !IsPlainPadded(bytes, Quoting::Text)) return false;
  const Ending& ending = endings[EndingIndex(card)];
  char* at = out.Room(16 + ending.text.size());
  std::memcpy(at, bytes.data(), 16);
  std::memcpy(at + bytes.size(), ending.text.data(), ending.text.size());
  out.Advance(bytes.size() + ending.size);
  out.EndRecord();
  return true;
}

TESSERA_INLINE bool PutShortPlainCard(Writer& out, const CardRecord& r, const std::array<Ending, 2 * kBrandKinds>& endings) {
  return !r.number.shortened && r.verdict != Verdict::kEmpty && r.hint == Hint::kNone &&
         PutShortPlainCard(out, r.number.bytes, r.card, endings);
}

}  // namespace tessera::tool
