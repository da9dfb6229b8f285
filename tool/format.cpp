// format.cpp -- what the output formats share
#include "tool/format.h"

namespace tessera::tool {

std::string_view HintCode(Hint hint) {
  switch (hint) {
    case Hint::kNone: return "none";
    case Hint::kBlanks: return "blanks";
    case Hint::kScientific: return "scientific";
  }
  return "none";
}

std::string_view HintWords(Hint hint) {
  switch (hint) {
    case Hint::kNone: return "";
    case Hint::kBlanks: return "blanks around the number: remove them";
    case Hint::kScientific: return "scientific notation, digits lost: export the column as text";
  }
  return "";
}

namespace {

// In quotes, any quote doubled, when it holds a comma or a quote.
bool NeedsCsvQuotes(std::string_view bytes) { return bytes.find_first_of(",\"") != std::string_view::npos; }

void PutShortenedMark(Writer& out, uint64_t size, Quoting quoting) {
  out.Put(quoting == Quoting::Json ? "\\\\[..." : "\\[...");
  PutCount(out, size);
  out.Put(" bytes]");
}

// `shown` (escaped already) as a CSV field.
std::string CsvQuoted(std::string shown) {
  if (!NeedsCsvQuotes(shown)) return shown;
  std::string quoted = "\"";
  for (char c : shown) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

}  // namespace

InputName::InputName(std::string_view name)
    : text(Escaped(name, Quoting::Text)), json(JsonPath(name)), csv(CsvQuoted(text)) {}

std::string HeaderRow(const FormatOptions& options, char between) {
  std::vector<std::string> names;
  if (options.line_numbers) names = {"path", "line", "record"};
  if (options.id) {
    names.insert(names.end(), {"number", "verdict", "check_digits", "expiry", "age", "hint"});
  } else {
    names.insert(names.end(), {"number", "verdict", "brand", "checksum", "hint"});
  }
  for (const std::string& kept : options.kept) names.push_back(Escaped(kept));
  std::string row;
  for (const std::string& name : names) {
    if (!row.empty()) row += between;
    row += between == ',' ? CsvQuoted(name) : name;
  }
  return row;
}

void PutLongNumber(Writer& out, const Shown& number, Quoting quoting) {
  out.PutShown(number.bytes, quoting);
  if (number.shortened) PutShortenedMark(out, number.size, quoting);
}

void PutKept(Writer& out, const KeptField& field, Quoting quoting) {
  out.PutShown(field.bytes, quoting);
  if (field.shortened) PutShortenedMark(out, field.size, quoting);
}

void PutCsvField(Writer& out, std::string_view bytes, bool shortened, uint64_t size) {
  const bool quoted = NeedsCsvQuotes(bytes);
  if (quoted) out.Put('"');
  for (std::size_t at = 0;;) {
    const std::size_t quote = quoted ? bytes.find('"', at) : std::string_view::npos;
    out.PutShown(bytes.substr(at, quote == std::string_view::npos ? std::string_view::npos : quote - at), Quoting::Text);
    if (quote == std::string_view::npos) break;
    out.Put("\"\"");
    at = quote + 1;
  }
  if (shortened) PutShortenedMark(out, size, Quoting::Text);
  if (quoted) out.Put('"');
}

Ending MakeEnding(std::string_view text) {
  Ending ending;
  ending.size = text.copy(ending.text.data(), ending.text.size());
  return ending;
}

}  // namespace tessera::tool
