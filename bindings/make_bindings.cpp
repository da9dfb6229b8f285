// make_bindings.cpp -- the parts of every binding that the table of operations (frame/operations.h) makes
//
// usage: tessera_make_bindings SOURCE_DIR [--write]
// Each part lies in its file between two marker lines, the rest of the file
// being written by hand. Without --write this compares every part with what
// the table makes now and fails on a difference (a test runs it so); with
// --write (the tessera_bindings build target) it writes them. The rules'
// facts in the texts come from the rules' own tables.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "cards/brands.h"
#include "frame/operations.h"
#include "iddoc/gpa.h"
#include "tessera.h"
#include "tessera_text.h"

namespace {

using std::string;
using std::string_view;

enum class Answer { Bool, Age, Brand, CardVerdict, IdVerdict, Masked };

struct Operation {
  string_view name, Export;
  bool exported, dated;
  Answer answer;
  tessera_brand brand;
  std::size_t longest;
  string_view meaning;
};

// The table's words, as values.
constexpr bool kEXPORTED = true, kAPI_ONLY = false, kTEXT = false, kTEXT_DAY = true;
constexpr Answer kBOOL = Answer::Bool, kAGE = Answer::Age, kBRAND = Answer::Brand,
                 kCARD_VERDICT = Answer::CardVerdict, kID_VERDICT = Answer::IdVerdict, kMASKED = Answer::Masked;

#define TESSERA_ROW(name, Export, exported, arguments, answer, brand, longest, meaning) \
  {#name, #Export, k##exported, k##arguments, k##answer, TESSERA_##brand, TESSERA_LONGEST_##longest, meaning},
constexpr Operation kOperations[] = {TESSERA_OPERATIONS(TESSERA_ROW)};
#undef TESSERA_ROW

// The C functions have the arguments and answers the table gives them.
using C_BOOL = bool;
using C_AGE = int32_t;
using C_BRAND = tessera_brand;
using C_CARD_VERDICT = tessera_card_verdict;
using C_ID_VERDICT = tessera_id_verdict;
using C_MASKED = char;  // written to the caller's buffer

template <class Answer, bool kDated>
struct Forms {
  using One = std::conditional_t<kDated, Answer (*)(const char*, size_t, const tessera_date*),
                                 Answer (*)(const char*, size_t)>;
  template <class Offset>
  using Column = std::conditional_t<kDated, void (*)(const char*, const Offset*, size_t, const tessera_date*, Answer*),
                                    void (*)(const char*, const Offset*, size_t, Answer*)>;
};
template <bool kDated>
struct Forms<char, kDated> {
  using One = void (*)(const char*, size_t, char*);
  template <class Offset>
  using Column = void (*)(const char*, const Offset*, size_t, char*);
};

#define TESSERA_EXPORT_EXPORTED(Export) \
  static_assert(std::is_same_v<decltype(&Export), int32_t(TESSERA_CALL*)(const char*)>, #Export);
#define TESSERA_EXPORT_API_ONLY(Export)
#define TESSERA_SIGNATURES(name, Export, exported, arguments, answer, brand, longest, meaning)                     \
  static_assert(std::is_same_v<decltype(&tessera_text_##name), Forms<C_##answer, k##arguments>::One>, #name);      \
  static_assert(std::is_same_v<decltype(&tessera_strings_##name),                                                 \
                               Forms<C_##answer, k##arguments>::Column<int32_t>>, #name);                         \
  static_assert(std::is_same_v<decltype(&tessera_large_strings_##name),                                           \
                               Forms<C_##answer, k##arguments>::Column<int64_t>>, #name);                         \
  TESSERA_EXPORT_##exported(Export)
TESSERA_OPERATIONS(TESSERA_SIGNATURES)

// ---------------------------------------------------------------------------
// Words

string Replaced(string text, string_view from, string_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

string Capitalized(string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

string Quoted(string_view text) { return "\"" + string(text) + "\""; }

// "a", "a or b", "a, b or c"
string Listed(const std::vector<string>& items, string_view last = " or ") {
  string out;
  for (std::size_t i = 0; i < items.size(); ++i)
    out += (i == 0 ? "" : i + 1 == items.size() ? string(last) : ", ") + items[i];
  return out;
}

// "15 characters starting "34" or "37"", from the brand's rule; runs of
// numbers one apart read "51" to "55".
string BrandFacts(tessera_brand brand) {
  using tessera::kBrandRules;
  const auto rule = std::find_if(std::begin(kBrandRules), std::end(kBrandRules),
                                 [&](const tessera::BrandRule& r) { return static_cast<int>(r.brand) == brand; });
  std::vector<std::size_t> sizes;
  for (std::size_t size : rule->lengths)
    if (size != 0) sizes.push_back(size);
  std::sort(sizes.begin(), sizes.end());
  std::vector<string> lengths, prefixes;
  for (std::size_t size : sizes) lengths.push_back(std::to_string(size));
  string first, last;
  auto close_run = [&] {
    if (!first.empty()) prefixes.push_back(first == last ? Quoted(first) : Quoted(first) + " to " + Quoted(last));
    first.clear();
  };
  for (const tessera::BrandPrefix& prefix : rule->prefixes) {
    const string text(prefix.text);
    if (text.empty()) continue;
    if (prefix.unless != tessera::Brand::None) {
      close_run();
      prefixes.push_back(Quoted(text) + " when it is not " + string(tessera::BrandName(prefix.unless)));
    } else if (!first.empty() && text.size() == last.size() && std::stoul(text) == std::stoul(last) + 1) {
      last = text;
    } else {
      close_run();
      first = last = text;
    }
  }
  close_run();
  return Listed(lengths) + " characters starting " + Listed(prefixes);
}

// "29 characters, "-" at positions 12, 20 and 28"
string GpaFacts() {
  std::vector<string> positions;
  for (std::size_t at : tessera::kGpaSeparators) positions.push_back(std::to_string(at));
  return std::to_string(tessera::kGpaLength) + " characters, \"-\" at positions " + Listed(positions, " and ");
}

std::vector<string> BrandNames() {
  std::vector<string> names;
  for (const tessera::BrandRule& rule : tessera::kBrandRules) names.push_back(Quoted(rule.name));
  return names;
}

// The masking of a number, done by the library itself.
string MaskExample(string_view number) {
  string masked(number.size(), '?');
  tessera_text_mask_card(number.data(), number.size(), masked.data());
  return Quoted(number) + " gives " + Quoted(masked);
}

// `text` as lines of at most `width` columns, each after `head`.
string Wrapped(string_view text, string_view head, std::size_t width = 100) {
  string out, line(head);
  std::istringstream words{string(text)};
  for (string word; words >> word;) {
    if (line.size() > head.size() && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line = head;
    }
    line += (line.size() > head.size() ? " " : "") + word;
  }
  return out + line + "\n";
}

// What the exports answer, for the declarations of hosts: "-1 when the number ...".
string ExportMeaning(const Operation& op, string_view yes) {
  const string meaning = Replaced(string(op.meaning), " on the day", " today");
  return op.answer == Answer::Bool ? string(yes) + " when the number " + meaning : Capitalized(meaning);
}

// ---------------------------------------------------------------------------
// PostgreSQL

// A string constant over lines of at most about 100 columns: SQL joins
// constants that only a line break separates.
string SqlText(string_view text) {
  string out = "  '";
  std::size_t line = 3;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i] == '\'' ? "''" : string(1, text[i]);
    line += text[i] == '\'' ? 2 : 1;
    if (text[i] == ' ' && line > 90 && i + 1 < text.size()) {
      out += "'\n  '";
      line = 3;
    }
  }
  return out + "'";
}

string SqlFunctions() {
  string out;
  for (const Operation& op : kOperations) {
    string type;
    switch (op.answer) {
      case Answer::Bool: type = "boolean"; break;
      case Answer::Age: type = "integer"; break;
      case Answer::Brand:
      case Answer::Masked: type = "text"; break;
      default: continue;  // no composite types
    }
    const string name = "@extschema@." + string(op.name);
    string comment = op.answer == Answer::Bool ? "true when the number " + string(op.meaning) : string(op.meaning);
    if (op.answer == Answer::Brand) comment += ", NULL for none";
    out += "CREATE FUNCTION " + name + (op.dated ? "(number text, day date DEFAULT current_date)" : "(text)") +
           " RETURNS " + type + "\n  AS 'MODULE_PATHNAME', 'tessera_" + string(op.name) + "' LANGUAGE C " +
           (op.dated ? "STABLE" : "IMMUTABLE") + " STRICT PARALLEL SAFE;\n";
    out += "COMMENT ON FUNCTION " + name + (op.dated ? "(text, date)" : "(text)") + " IS\n" + SqlText(comment) + ";\n";
  }
  return out;
}

// ---------------------------------------------------------------------------
// Python

string PythonWords(string_view meaning) {
  return Replaced(Replaced(string(meaning), "the number", "`number`"), "the day", "`today`");
}

string PythonSignature(const Operation& op) {
  return string(op.name) + (op.dated ? "(number, /, today=None)" : "(number, /)");
}

string PythonDoc(const Operation& op) {
  string doc = PythonSignature(op) + "\n--\n\n";
  const string meaning = PythonWords(op.meaning);
  switch (op.answer) {
    case Answer::Bool:
      doc += "True when `number` " + meaning;
      if (op.brand != TESSERA_NO_BRAND)
        doc += ": " + BrandFacts(op.brand) + ". The checksum is not looked at";
      else if (op.longest == TESSERA_GPA_LENGTH && !op.dated)
        doc += " (" + GpaFacts() + ")";
      doc += ".";
      break;
    case Answer::Brand:
      doc += Capitalized(meaning) + ": " + Listed(BrandNames()) +
             ", or \"none\" (a true value: compare with \"none\").";
      break;
    case Answer::CardVerdict:
      doc += Capitalized(meaning) + ". The answer is CardVerdict(valid, brand, checksum).";
      break;
    case Answer::IdVerdict:
      doc += Capitalized(meaning) + ". The answer is IdVerdict(valid, check_digits, unexpired, age).";
      break;
    case Answer::Masked:
      doc += Capitalized(meaning) + " (" + MaskExample("4111 1111 1111 1111") + ").";
      break;
    case Answer::Age: doc += Capitalized(meaning) + "."; break;
  }
  if (op.dated) doc += " `today` is a datetime.date; None means the local date.";

  string no;
  switch (op.answer) {
    case Answer::Bool: no = "False"; break;
    case Answer::Age: no = "0"; break;
    case Answer::Brand: no = "\"none\""; break;
    case Answer::CardVerdict: no = "CardVerdict(False, \"none\", False)"; break;
    case Answer::IdVerdict: no = "IdVerdict(False, False, False, 0)"; break;
    case Answer::Masked: break;
  }
  doc += "\n\n`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL "
         "bytes included. ";
  doc += op.answer == Answer::Masked
             ? "A str gives a str, a bytes-like object bytes; characters beyond Latin-1 are shown as \"*\". "
             : "A str with characters beyond Latin-1 is never a valid number: the answer is " + no + ". ";
  doc += "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): read "
         "such numbers as text. None and NaN are missing: the answer is None.\n\nFor a column: ";
  switch (op.answer) {
    case Answer::Bool:
    case Answer::Age: {
      const string dtype = op.answer == Answer::Bool ? "boolean" : "Int32";
      doc += "a pandas Series gives a Series with the same index, in the nullable dtype " + dtype +
             ", with <NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy "
             "array, gives a NumPy array of " + (op.answer == Answer::Bool ? "bool" : "int32") +
             ", one answer per element, masked (numpy.ma) where values were missing.";
      break;
    }
    case Answer::Brand:
      doc += "these names, in a NumPy array of objects (dtype string for a Series); missing values stay missing.";
      break;
    case Answer::CardVerdict:
    case Answer::IdVerdict:
      doc += string("a pandas DataFrame with the columns ") +
             (op.answer == Answer::CardVerdict ? "valid, brand (categorical) and checksum"
                                               : "valid, check_digits, unexpired and age") +
             ", one row per element (a dict of NumPy arrays when pandas is not installed).";
      break;
    case Answer::Masked:
      doc += "a NumPy array of objects (dtype string for a Series of str); missing values stay missing.";
      break;
  }
  return doc;
}

// A C string literal over lines of at most about 110 columns.
string CLiteral(string_view text) {
  string out = "  \"";
  std::size_t line = 3;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    string piece = c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\n' ? "\\n" : string(1, c);
    out += piece;
    line += piece.size();
    const bool breaks = c == '\n' ? i + 1 < text.size() && text[i + 1] != '\n' : c == ' ' && line > 100;
    if (breaks && i + 1 < text.size()) {
      out += "\" \\\n  \"";
      line = 3;
    }
  }
  return out + "\"";
}

string PythonDocs() {
  string out;
  for (const Operation& op : kOperations)
    out += "#define TESSERA_DOC_" + string(op.name) + " \\\n" + CLiteral(PythonDoc(op)) + "\n";
  return out;
}

string PythonStubs() {
  string out;
  for (const Operation& op : kOperations) {
    const string today = op.dated ? ", today: Optional[datetime.date] = None" : "";
    auto overload = [&](string_view argument, string_view answer, string_view note = "") {
      out += "@overload\ndef " + string(op.name) + "(number: " + string(argument) + ", /" + today + ") -> " +
             string(answer) + ": ..." + string(note) + "\n";
    };
    overload("Missing", "None");
    switch (op.answer) {
      case Answer::Bool:
        overload("Text", "bool");
        overload("Column", "Bools");
        break;
      case Answer::Age:
        overload("Text", "int");
        overload("Column", "Ages");
        break;
      case Answer::Brand:
        overload("Text", "str");
        overload("Column", "Objects");
        break;
      case Answer::CardVerdict:
        overload("Text", "CardVerdict");
        overload("Column", "Any", "  # a pandas DataFrame, or a dict of NumPy arrays");
        break;
      case Answer::IdVerdict:
        overload("Text", "IdVerdict");
        overload("Column", "Any", "  # as card_verdict");
        break;
      case Answer::Masked:
        overload("Union[str, int, numpy.integer]", "str");
        overload("Union[bytes, bytearray, memoryview]", "bytes");
        overload("Column", "Objects");
        break;
    }
  }
  return out;
}

string PythonTable() {
  std::vector<string> brands;
  for (int brand = 0; const char* name = tessera_brand_name(static_cast<tessera_brand>(brand)); ++brand)
    brands.push_back(Quoted(name));
  string out = "# The names of the brands, by the library's brand codes.\nBRANDS = (" + Listed(brands, ", ") + ")\n\n";
  out += "OPERATIONS = (\n";
  for (const Operation& op : kOperations) {
    string answer;
    switch (op.answer) {
      case Answer::Bool: answer = "bool"; break;
      case Answer::Age: answer = "age"; break;
      case Answer::Brand: answer = "brand"; break;
      case Answer::CardVerdict: answer = "card_verdict"; break;
      case Answer::IdVerdict: answer = "id_verdict"; break;
      case Answer::Masked: answer = "masked"; break;
    }
    out += "    Operation(" + Quoted(op.name) + ", " + (op.exported ? Quoted(op.Export) : "None") + ", " +
           Quoted(answer) + ", " + (op.brand == TESSERA_NO_BRAND ? "None" : Quoted(tessera_brand_name(op.brand))) +
           ", " + (op.dated ? "True" : "False") + "),\n";
  }
  return out + ")\n";
}

// The package's names: the backend's functions, as the package exports them.
string PythonNames() {
  string out, names = "\"BRANDS\", \"CardVerdict\", \"IdVerdict\"";
  for (const Operation& op : kOperations) {
    out += string(op.name) + " = _backend." + string(op.name) + "\n";
    names += ", " + Quoted(op.name);
  }
  return out + "\n__all__ = [\n" + Wrapped(names + ",", "    ") + "]\n";
}

// ---------------------------------------------------------------------------
// The hosts of Tessera.DLL

string CsharpChecks() {
  string out;
  for (const Operation& op : kOperations) {
    if (!op.exported) continue;
    const string name(op.Export);
    out += Wrapped(ExportMeaning(op, "-1") + ".", "    // ");
    out += "    public static int " + name + "(string text) { return Native." + name + "(Latin1(text)); }\n";
  }
  return out;
}

string CsharpImports() {
  string out;
  for (const Operation& op : kOperations)
    if (op.exported)
      out += "        [DllImport(Lib, CallingConvention = Convention)] internal static extern int " +
             string(op.Export) + "(byte[] text);\n";
  return out;
}

string PascalFunctions() {
  string out;
  for (const Operation& op : kOperations) {
    if (!op.exported) continue;
    out += "{ " + Wrapped(ExportMeaning(op, "-1") + ". }", "  ").substr(2);
    out += "function " + string(op.Export) +
           "(Text: PAnsiChar): LongInt; {$ifdef windows}stdcall{$else}cdecl{$endif}; external TesseraLib;\n";
  }
  return out;
}

string VbaDeclarations() {
  string out;
  for (const Operation& op : kOperations) {
    if (!op.exported) continue;
    out += Wrapped(ExportMeaning(op, "True") + ".", "' ");
    out += "Declare Function " + string(op.Export) + " Lib \"Tessera.DLL\" (ByVal Number As String) As Long\n";
  }
  return out;
}

// ---------------------------------------------------------------------------
// The files

struct Part {
  string_view file, name;
  string (*make)();
};

const Part kParts[] = {
    {"bindings/postgres/tessera--" TESSERA_VERSION ".sql", "functions", SqlFunctions},
    {"bindings/python/src/docstrings.h", "docstrings", PythonDocs},
    {"bindings/python/tessera/_tessera.pyi", "functions", PythonStubs},
    {"bindings/python/tessera/_operations.py", "operations", PythonTable},
    {"bindings/python/tessera/__init__.py", "names", PythonNames},
    {"bindings/csharp/Tessera.cs", "checks", CsharpChecks},
    {"bindings/csharp/Tessera.cs", "imports", CsharpImports},
    {"bindings/pascal/tessera.pas", "functions", PascalFunctions},
    {"bindings/vba/Tessera.bas", "declarations", VbaDeclarations},
};

bool Read(const string& path, string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  *text = string(std::istreambuf_iterator<char>(in), {});
  return true;
}

// `text` with the part between its marker lines replaced by `made`; false
// when the markers are missing.
bool Spliced(string* text, string_view name, string made) {
  const string begin = "Made from frame/operations.h (" + string(name) + ")";
  const string end = "End of the part made from frame/operations.h (" + string(name) + ")";
  const std::size_t begin_at = text->find(begin), end_at = text->find(end);
  if (begin_at == string::npos || end_at == string::npos || end_at < begin_at) return false;
  const std::size_t from = text->find('\n', begin_at) + 1, to = text->rfind('\n', end_at) + 1;
  if (text->find("\r\n") != string::npos) made = Replaced(made, "\n", "\r\n");
  text->replace(from, to - from, made);
  return true;
}

// The line where two texts first differ, as "was / is".
string FirstDifference(const string& was, const string& is) {
  std::istringstream a(was), b(is);
  string x, y;
  for (int line = 1;; ++line) {
    const bool more_a = static_cast<bool>(std::getline(a, x)), more_b = static_cast<bool>(std::getline(b, y));
    if (!more_a && !more_b) return "";
    if (x != y || more_a != more_b)
      return "  line " + std::to_string(line) + ", committed: " + x + "\n  line " + std::to_string(line) +
             ", made:      " + y + "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && string_view(argv[2]) != "--write") || argc > 3) {
    std::fputs("usage: tessera_make_bindings SOURCE_DIR [--write]\n", stderr);
    return 2;
  }
  const string source = argv[1];
  const bool write = argc == 3;
  int passed = 0, failed = 0;
  auto fail = [&](const string& why) {
    ++failed;
    std::printf("FAILED: %s\n", why.c_str());
  };
  for (const Part& part : kParts) {
    const string path = source + "/" + string(part.file);
    string was, is;
    if (!Read(path, &was)) {
      fail(path + ": cannot be read");
      continue;
    }
    is = was;
    if (!Spliced(&is, part.name, part.make())) {
      fail(string(part.file) + ": no marker lines for the part " + string(part.name));
    } else if (is == was) {
      ++passed;
    } else if (write) {
      std::ofstream(path, std::ios::binary) << is;
      std::printf("wrote %s (%s)\n", string(part.file).c_str(), string(part.name).c_str());
      ++passed;
    } else {
      fail(string(part.file) + ": the part " + string(part.name) +
           " is not what frame/operations.h makes (build tessera_bindings)\n" + FirstDifference(was, is));
    }
  }
  // Names keep the version they came with, so the map is checked, not written.
  string map;
  if (!Read(source + "/resources/tessera.map", &map)) {
    fail("resources/tessera.map: cannot be read");
  } else {
    for (const Operation& op : kOperations)
      for (string_view form : {"tessera_text_", "tessera_strings_", "tessera_large_strings_"}) {
        const string name = string(form) + string(op.name);
        if (map.find(" " + name + ";") != string::npos)
          ++passed;
        else
          fail("resources/tessera.map does not export " + name);
      }
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
